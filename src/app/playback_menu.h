#pragma once

#include <QObject>

#include <functional>

class FrameSaver;
class PlayerManager;
class QAction;
class QMainWindow;
class QMenu;

// The Playback menu: speed, chapters, subtitle and sound timing, subtitle size, frame steps and
// Save Frame, each with its key. Items that do not apply to what plays are disabled; the
// actions belong to the window too, so their keys work in full screen without the menu bar.
class PlaybackMenu : public QObject {
    Q_OBJECT
public:
    // `notify` shows and says short news (the new speed, a delay, where a frame went).
    PlaybackMenu(QMainWindow &window, PlayerManager &playerManager,
                 std::function<void(const QString &)> notify);

    QMenu *menu() const { return menu_; }

private:
    QAction *addItem(QMenu &menu, QStringView key, const QList<QKeySequence> &keys,
                     const std::function<void()> &trigger);
    void redraw();
    void changeSpeed(double speed);
    void changeSubtitleDelay(int steps);
    void changeAudioDelay(int steps);
    void changeSubtitleScale(int steps);
    void fillSpeeds();
    void fillChapters();
    void goToChapter(bool next);
    void saveFrame();

    QMainWindow &window_;
    PlayerManager &playerManager_;
    std::function<void(const QString &)> notify_;
    FrameSaver *frameSaver_ = nullptr;
    QMenu *menu_ = nullptr;
    QMenu *speedMenu_ = nullptr;
    QMenu *chaptersMenu_ = nullptr;
    QMenu *subtitleTimingMenu_ = nullptr;
    QMenu *audioTimingMenu_ = nullptr;
    QMenu *subtitleSizeMenu_ = nullptr;
    QList<QAction *> chapterSteps_;
    QList<QAction *> frameItems_;
};
