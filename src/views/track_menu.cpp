#include "views/track_menu.h"

#include "i18n/localization.h"
#include "playback/player_manager.h"
#include "views/accessibility.h"
#include "views/open_panel.h"

#include <QActionGroup>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLocale>
#include <QPointer>
#include <QTimer>

#include <algorithm>

QString TrackMenu::trackText(const MediaTrack &track, int number) {
    QStringList parts;
    const QLocale::Language language = QLocale::codeToLanguage(track.language);
    if (language != QLocale::AnyLanguage) {
        // In its own words, and for the world rather than one country ("English", not
        // "American English"), so any viewer recognises their language.
        QString name = QLocale(language, QLocale::World).nativeLanguageName();
        if (!name.isEmpty())
            name[0] = name[0].toUpper();
        parts << name;
    } else if (!track.language.isEmpty()) {
        parts << track.language;
    }
    if (!track.title.isEmpty())
        parts << track.title;
    if (parts.isEmpty())
        parts << L.get(u"trackNumber").arg(number);
    return parts.join(QStringLiteral(" \u2014 "));
}

TrackMenu::TrackMenu(PlayerManager &playerManager, QWidget *parent) : QMenu(parent) {
    setObjectName(QStringLiteral("trackMenu"));
    QMenu *subtitles = addMenu(L.get(u"subtitles"));
    subtitles->setObjectName(QStringLiteral("subtitlesMenu"));
    addChoices(subtitles, MediaTrack::Kind::subtitle, playerManager, parent);

    const QList<MediaTrack> &tracks = playerManager.tracks();
    const auto audioTracks = std::count_if(tracks.begin(), tracks.end(), [](const MediaTrack &t) {
        return t.kind == MediaTrack::Kind::audio;
    });
    // One sound track leaves nothing to choose.
    if (audioTracks > 1) {
        QMenu *audio = addMenu(L.get(u"audio"));
        audio->setObjectName(QStringLiteral("audioMenu"));
        addChoices(audio, MediaTrack::Kind::audio, playerManager, parent);
    }
}

void TrackMenu::openAt(QPoint globalPosition) {
    // Opened from the keyboard a menu has no current item, and a reader says nothing of it. The
    // first Down's choice, made for the user: setActiveAction would open a submenu too.
    QTimer::singleShot(0, this, [this] {
        if (activeAction())
            return;
        QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
        QCoreApplication::sendEvent(this, &down);
    });
    exec(globalPosition);
}

void TrackMenu::addChoices(QMenu *menu, MediaTrack::Kind kind, PlayerManager &playerManager,
                           QWidget *window) {
    const QString kindName =
        kind == MediaTrack::Kind::audio ? L.get(u"audio") : L.get(u"subtitles");
    auto *choices = new QActionGroup(menu);
    const auto choice = [&](const QString &text, int64_t id, bool selected) {
        QAction *action = menu->addAction(text);
        action->setCheckable(true);
        action->setChecked(selected);
        choices->addAction(action);
        const QPointer<QWidget> context = window;
        const QString said = QStringLiteral("%1: %2").arg(kindName, text);
        QObject::connect(
            action, &QAction::triggered, &playerManager, [&playerManager, kind, id, context, said] {
                playerManager.selectTrack(kind, id);
                // After the menu has closed and the focus is back: the window's
                // name alone would be heard.
                if (context)
                    QMetaObject::invokeMethod(
                        context, [context, said] { accessibility::say(context, said); },
                        Qt::QueuedConnection);
            });
    };
    const QList<MediaTrack> &tracks = playerManager.tracks();
    if (kind == MediaTrack::Kind::subtitle) {
        const bool anyShown = std::any_of(tracks.begin(), tracks.end(), [](const MediaTrack &t) {
            return t.kind == MediaTrack::Kind::subtitle && t.isSelected;
        });
        choice(L.get(u"subtitlesOff"), 0, !anyShown);
    }
    int number = 0;
    for (const MediaTrack &track : tracks) {
        if (track.kind == kind)
            choice(trackText(track, ++number), track.id, track.isSelected);
    }
    if (kind == MediaTrack::Kind::subtitle) {
        menu->addSeparator();
        QAction *addFile = menu->addAction(L.get(u"addSubtitleFile"));
        QObject::connect(addFile, &QAction::triggered, &playerManager, [&playerManager, window] {
            const QUrl chosen = open_panel::chooseSubtitleFile(window);
            if (!chosen.isEmpty())
                playerManager.openFile(chosen);
        });
    }
}
