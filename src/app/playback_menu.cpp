#include "app/playback_menu.h"

#include "i18n/localization.h"
#include "playback/frame_saver.h"
#include "playback/playback_speed.h"
#include "playback/player_manager.h"
#include "playback/subtitle_scale.h"
#include "playback/sync_offset.h"
#include "views/chapter_text.h"
#include "views/state_observer.h"
#include "views/time_text.h"

#include <QAction>
#include <QActionGroup>
#include <QDir>
#include <QMainWindow>
#include <QMenu>

#include <cmath>

namespace {

// "+300 ms", "−1200 ms", "0 ms".
QString milliseconds(double seconds) {
    const long ms = std::lround(seconds * 1000);
    const QString sign = ms > 0   ? QStringLiteral("+")
                         : ms < 0 ? QStringLiteral("\u2212")
                                  : QString();
    return QStringLiteral("%1%2 ms").arg(sign).arg(std::labs(ms));
}

QString frameResultText(const frame_file::Result &result) {
    const QString where = QDir::toNativeSeparators(result.path);
    switch (result.outcome) {
    case frame_file::Result::Outcome::saved:
        return L.get(u"frameSaved").arg(where);
    case frame_file::Result::Outcome::folderMissing:
        return L.get(u"frameFolderMissing").arg(where);
    case frame_file::Result::Outcome::folderUnwritable:
        return L.get(u"frameFolderUnwritable").arg(where);
    case frame_file::Result::Outcome::noSpace:
        return L.get(u"frameNoSpace").arg(where);
    case frame_file::Result::Outcome::failed:
        break;
    }
    return L.get(u"frameFailed").arg(where, result.detail);
}

} // namespace

PlaybackMenu::PlaybackMenu(QMainWindow &window, PlayerManager &playerManager,
                           std::function<void(const QString &)> notify)
    : QObject(&window), window_(window), playerManager_(playerManager), notify_(std::move(notify)) {
    frameSaver_ = new FrameSaver(playerManager_, this);
    connect(frameSaver_, &FrameSaver::finished, this,
            [this](const frame_file::Result &result) { notify_(frameResultText(result)); });

    menu_ = new QMenu(L.get(u"playback"), &window_);
    menu_->setObjectName(QStringLiteral("playbackMenu"));

    // Speed: [ and ] as in mpv and the players built on it, Backspace back to normal.
    speedMenu_ = menu_->addMenu(L.get(u"speed"));
    speedMenu_->setObjectName(QStringLiteral("speedMenu"));
    addItem(*speedMenu_, u"faster", {QKeySequence(Qt::Key_BracketRight)},
            [this] { changeSpeed(playback_speed::faster(playerManager_.speed())); });
    addItem(*speedMenu_, u"slower", {QKeySequence(Qt::Key_BracketLeft)},
            [this] { changeSpeed(playback_speed::slower(playerManager_.speed())); });
    addItem(*speedMenu_, u"normalSpeed", {QKeySequence(Qt::Key_Backspace)},
            [this] { changeSpeed(playback_speed::normal); });
    speedMenu_->addSeparator();
    connect(speedMenu_, &QMenu::aboutToShow, this, &PlaybackMenu::fillSpeeds);

    // Chapters: Page Up and Page Down, as mpv has them.
    chaptersMenu_ = menu_->addMenu(L.get(u"chapters"));
    chaptersMenu_->setObjectName(QStringLiteral("chaptersMenu"));
    connect(chaptersMenu_, &QMenu::aboutToShow, this, &PlaybackMenu::fillChapters);
    chapterSteps_ = {
        addItem(*menu_, u"nextChapter", {QKeySequence(Qt::Key_PageUp)},
                [this] { goToChapter(true); }),
        addItem(*menu_, u"previousChapter", {QKeySequence(Qt::Key_PageDown)},
                [this] { goToChapter(false); }),
    };
    menu_->addSeparator();

    // Timing: G and H move subtitles, J and K the sound, as in VLC; with Shift, back to 0.
    subtitleTimingMenu_ = menu_->addMenu(L.get(u"subtitleTiming"));
    subtitleTimingMenu_->setObjectName(QStringLiteral("subtitleTimingMenu"));
    addItem(*subtitleTimingMenu_, u"earlier", {QKeySequence(Qt::Key_G)},
            [this] { changeSubtitleDelay(-1); });
    addItem(*subtitleTimingMenu_, u"later", {QKeySequence(Qt::Key_H)},
            [this] { changeSubtitleDelay(1); });
    addItem(*subtitleTimingMenu_, u"reset", {QKeySequence(Qt::SHIFT | Qt::Key_G)},
            [this] { changeSubtitleDelay(0); });
    audioTimingMenu_ = menu_->addMenu(L.get(u"audioTiming"));
    audioTimingMenu_->setObjectName(QStringLiteral("audioTimingMenu"));
    addItem(*audioTimingMenu_, u"earlier", {QKeySequence(Qt::Key_J)},
            [this] { changeAudioDelay(-1); });
    addItem(*audioTimingMenu_, u"later", {QKeySequence(Qt::Key_K)},
            [this] { changeAudioDelay(1); });
    addItem(*audioTimingMenu_, u"reset", {QKeySequence(Qt::SHIFT | Qt::Key_J)},
            [this] { changeAudioDelay(0); });

    // Size: the keys that make text larger everywhere else on the desktop.
    subtitleSizeMenu_ = menu_->addMenu(L.get(u"subtitleSize"));
    subtitleSizeMenu_->setObjectName(QStringLiteral("subtitleSizeMenu"));
    addItem(*subtitleSizeMenu_, u"larger",
            {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)},
            [this] { changeSubtitleScale(1); });
    addItem(*subtitleSizeMenu_, u"smaller", {QKeySequence(Qt::CTRL | Qt::Key_Minus)},
            [this] { changeSubtitleScale(-1); });
    addItem(*subtitleSizeMenu_, u"reset", {QKeySequence(Qt::CTRL | Qt::Key_0)},
            [this] { changeSubtitleScale(0); });
    menu_->addSeparator();

    // Frames: . and , as in mpv; Shift+S takes a picture, as in VLC and (without subtitles) mpv.
    frameItems_ = {
        addItem(*menu_, u"frameForward", {QKeySequence(Qt::Key_Period)},
                [this] { playerManager_.stepFrame(true); }),
        addItem(*menu_, u"frameBack", {QKeySequence(Qt::Key_Comma)},
                [this] { playerManager_.stepFrame(false); }),
        addItem(*menu_, u"saveFrame", {QKeySequence(Qt::SHIFT | Qt::Key_S)},
                [this] { saveFrame(); }),
    };

    new StateObserver(playerManager_, this, [this] { redraw(); });
    redraw();
}

QAction *PlaybackMenu::addItem(QMenu &menu, QStringView key, const QList<QKeySequence> &keys,
                               const std::function<void()> &trigger) {
    QAction *action = menu.addAction(L.get(key));
    action->setObjectName(key.toString());
    action->setShortcuts(keys);
    action->setShortcutContext(Qt::WindowShortcut);
    connect(action, &QAction::triggered, this, [trigger] { trigger(); });
    window_.addAction(action);
    return action;
}

void PlaybackMenu::redraw() {
    const PlayerManager &manager = playerManager_;
    const bool playable = manager.player() && manager.loadError().isEmpty();
    const bool film = playable && manager.isVideo();
    const bool hasChapters = playable && !manager.chapters().isEmpty();
    // A disabled submenu disables its items' keys too.
    const auto enable = [](QMenu *menu, bool enabled) {
        menu->menuAction()->setEnabled(enabled);
        for (QAction *action : menu->actions())
            action->setEnabled(enabled);
    };
    enable(speedMenu_, playable);
    chaptersMenu_->menuAction()->setEnabled(hasChapters);
    for (QAction *step : chapterSteps_)
        step->setEnabled(hasChapters);
    enable(subtitleTimingMenu_, manager.showsSubtitles());
    enable(subtitleSizeMenu_, manager.showsSubtitles());
    enable(audioTimingMenu_, manager.hasFilmSound());
    for (QAction *item : frameItems_)
        item->setEnabled(film);
}

void PlaybackMenu::fillSpeeds() {
    // The steps after the three commands, rebuilt with the current one checked.
    const QList<QAction *> actions = speedMenu_->actions();
    for (qsizetype i = 4; i < actions.size(); ++i)
        delete actions.at(i);
    auto *group = new QActionGroup(speedMenu_);
    for (double step : playback_speed::steps()) {
        QAction *item = speedMenu_->addAction(playback_speed::text(step));
        item->setCheckable(true);
        item->setChecked(std::abs(step - playerManager_.speed()) < 1e-6);
        group->addAction(item);
        connect(item, &QAction::triggered, this, [this, step] { changeSpeed(step); });
    }
}

void PlaybackMenu::fillChapters() {
    chaptersMenu_->clear();
    const QList<Chapter> &chapters = playerManager_.chapters();
    const qsizetype current = playerManager_.currentChapter();
    auto *group = new QActionGroup(chaptersMenu_);
    for (qsizetype i = 0; i < chapters.size(); ++i) {
        QAction *item = chaptersMenu_->addAction(QStringLiteral("%1\t%2").arg(
            chapterText(chapters, i), timeString(chapters.at(i).start)));
        item->setCheckable(true);
        item->setChecked(i == current);
        group->addAction(item);
        connect(item, &QAction::triggered, this, [this, i] { playerManager_.goToChapter(i); });
    }
}

void PlaybackMenu::goToChapter(bool next) {
    if (next ? playerManager_.nextChapter() : playerManager_.previousChapter()) {
        // The time has moved to the chapter's start already.
        notify_(chapterText(playerManager_.chapters(), playerManager_.currentChapter()));
    }
}

void PlaybackMenu::changeSpeed(double speed) {
    playerManager_.setSpeed(speed);
    notify_(L.get(u"speedLevel").arg(playback_speed::text(playerManager_.speed())));
}

void PlaybackMenu::changeSubtitleDelay(int steps) {
    playerManager_.setSubtitleDelay(
        steps == 0 ? 0.0 : sync_offset::stepped(playerManager_.subtitleDelay(), steps));
    notify_(L.get(u"subtitleDelayLevel").arg(milliseconds(playerManager_.subtitleDelay())));
}

void PlaybackMenu::changeAudioDelay(int steps) {
    playerManager_.setAudioDelay(
        steps == 0 ? 0.0 : sync_offset::stepped(playerManager_.audioDelay(), steps));
    notify_(L.get(u"audioDelayLevel").arg(milliseconds(playerManager_.audioDelay())));
}

void PlaybackMenu::changeSubtitleScale(int steps) {
    playerManager_.setSubtitleScale(
        steps == 0 ? subtitle_scale::normal
                   : subtitle_scale::stepped(playerManager_.subtitleScale(), steps));
    notify_(L.get(u"subtitleSizeLevel").arg(std::lround(playerManager_.subtitleScale() * 100)));
}

void PlaybackMenu::saveFrame() {
    frameSaver_->save();
}
