#include "views/track_menu.h"

#include "i18n/localization.h"
#include "playback/player_manager.h"
#include "views/open_panel.h"

#include <QActionGroup>
#include <QLocale>

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

TrackMenu::TrackMenu(PlayerManager &playerManager, QWidget *parent)
    : QMenu(parent), playerManager_(playerManager) {
    setObjectName(QStringLiteral("trackMenu"));
    QMenu *subtitles = addMenu(L.get(u"subtitles"));
    subtitles->setObjectName(QStringLiteral("subtitlesMenu"));
    addTracks(subtitles, MediaTrack::Kind::subtitle);
    subtitles->addSeparator();
    QAction *addFile = subtitles->addAction(L.get(u"addSubtitleFile"));
    connect(addFile, &QAction::triggered, this, [this] {
        const QUrl chosen = open_panel::chooseSubtitleFile(parentWidget());
        if (!chosen.isEmpty())
            playerManager_.openFile(chosen);
    });

    const QList<MediaTrack> &tracks = playerManager_.tracks();
    const auto audioTracks = std::count_if(tracks.begin(), tracks.end(), [](const MediaTrack &t) {
        return t.kind == MediaTrack::Kind::audio;
    });
    // One sound track leaves nothing to choose.
    if (audioTracks > 1) {
        QMenu *audio = addMenu(L.get(u"audio"));
        audio->setObjectName(QStringLiteral("audioMenu"));
        addTracks(audio, MediaTrack::Kind::audio);
    }
}

void TrackMenu::addTracks(QMenu *menu, MediaTrack::Kind kind) {
    auto *choices = new QActionGroup(menu);
    const auto choice = [&](const QString &text, int64_t id, bool selected) {
        QAction *action = menu->addAction(text);
        action->setCheckable(true);
        action->setChecked(selected);
        choices->addAction(action);
        connect(action, &QAction::triggered, this,
                [this, kind, id] { playerManager_.selectTrack(kind, id); });
    };
    const QList<MediaTrack> &tracks = playerManager_.tracks();
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
}
