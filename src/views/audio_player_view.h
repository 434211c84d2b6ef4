#pragma once

#include <QPixmap>
#include <QWidget>

class PlayerManager;
class PlaylistModel;
class ElidingLabel;
class QLabel;
class QListView;
class QPropertyAnimation;
class QToolButton;
class ResumeOffer;

// An audio file: the folder playlist at the left, the file's name, length and format and the
// previous/next buttons at the right. Drawn from the player manager alone.
class AudioPlayerView : public QWidget {
    Q_OBJECT
public:
    explicit AudioPlayerView(PlayerManager &playerManager, QWidget *parent = nullptr);

protected:
    void showEvent(QShowEvent *event) override;

private:
    QWidget *buildPlaylistPanel();
    QWidget *buildInformationColumn();
    void redraw();
    void scrollToCurrentRow();

    PlayerManager &playerManager_;
    PlaylistModel *model_ = nullptr;
    QWidget *playlistPanel_ = nullptr;
    QWidget *divider_ = nullptr;
    QLabel *playlistHeader_ = nullptr;
    QListView *list_ = nullptr;
    QPropertyAnimation *scrolling_ = nullptr;
    QLabel *cover_ = nullptr;
    QPixmap noteSymbol_;
    qint64 shownCoverKey_ = 0;
    ElidingLabel *fileName_ = nullptr;
    ElidingLabel *tagTitle_ = nullptr;
    ElidingLabel *artistAndAlbum_ = nullptr;
    // The chapter playing, for an audiobook.
    ElidingLabel *chapter_ = nullptr;
    ElidingLabel *loadError_ = nullptr;
    QLabel *length_ = nullptr;
    QWidget *formatLine_ = nullptr;
    QLabel *format_ = nullptr;
    QWidget *navigation_ = nullptr;
    QToolButton *previous_ = nullptr;
    QLabel *position_ = nullptr;
    QToolButton *next_ = nullptr;
    ResumeOffer *resumeOffer_ = nullptr;
    // The row the list last followed; the list scrolls when the current index moves off it.
    qint64 followedIndex_ = -1;
    // The playing row the list's keyboard place last moved to.
    qint64 keyboardIndex_ = -1;
};

// The format text of a file name: the text after its last dot, in upper case.
QString formatText(const QString &fileName);
