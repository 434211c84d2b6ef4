#include "views/audio_player_view.h"

#include "i18n/localization.h"
#include "playback/media_player.h"
#include "playback/player_manager.h"
#include "views/accessibility.h"
#include "views/chapter_text.h"
#include "views/eliding_label.h"
#include "views/load_error_text.h"
#include "views/name_text.h"
#include "views/playlist_model.h"
#include "views/playlist_row_delegate.h"
#include "views/resume_offer.h"
#include "views/state_observer.h"
#include "views/style.h"
#include "views/symbols.h"
#include "views/time_text.h"

#include <QAccessible>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QPropertyAnimation>
#include <QScrollBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr int coverSide = 60;

QLabel *label(const QString &text, TextStyle textStyle, const QColor &color, QWidget *parent) {
    auto *result = new QLabel(text, parent);
    result->setFont(style::font(textStyle));
    QPalette palette = result->palette();
    palette.setColor(QPalette::WindowText, color);
    result->setPalette(palette);
    return result;
}

QLabel *symbolLabel(const QString &name, const QColor &color, int side, QWidget *parent) {
    auto *result = new QLabel(parent);
    result->setPixmap(
        symbols::icon(name, color).pixmap(QSize(side, side), parent->devicePixelRatioF()));
    return result;
}

// The playlist as a keyboard user meets it: Enter plays the focused row; the arrows stay in
// the list even at its ends (they would change the volume); Space stays play/pause, as
// everywhere but on a button.
class PlaylistView : public QListView {
public:
    PlaylistView(std::function<void(const QModelIndex &)> play, QWidget *parent)
        : QListView(parent), play_(std::move(play)) {}

protected:
    void keyPressEvent(QKeyEvent *event) override {
        switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (currentIndex().isValid())
                play_(currentIndex());
            event->accept();
            return;
        case Qt::Key_Space:
            event->ignore();
            return;
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Home:
        case Qt::Key_End:
            QListView::keyPressEvent(event);
            event->accept();
            return;
        default:
            QListView::keyPressEvent(event);
        }
    }

    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override {
        // Qt's list reports its new current row as focused even while the keys are elsewhere,
        // and a screen reader then announces the list: only a list that has the focus says so.
        if (hasFocus())
            QListView::currentChanged(current, previous);
        else
            QAbstractItemView::currentChanged(current, previous);
    }

    void focusInEvent(QFocusEvent *event) override {
        QListView::focusInEvent(event);
        // Entering the list says the row the keyboard is on (the one playing), not only the
        // list's name: after the list's own focus report, which Qt sends once this returns.
        if (QAccessible::isActive())
            QMetaObject::invokeMethod(this, &PlaylistView::reportCurrentRow, Qt::QueuedConnection);
    }

    void reportCurrentRow() {
        if (!hasFocus() || !currentIndex().isValid())
            return;
        QAccessibleEvent focus(this, QAccessible::Focus);
        focus.setChild(currentIndex().row());
        QAccessible::updateAccessibility(&focus);
    }

private:
    std::function<void(const QModelIndex &)> play_;
};

void fill(QWidget *widget, const QColor &color) {
    widget->setAutoFillBackground(true);
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, color);
    widget->setPalette(palette);
}

QColor withAlpha(QColor color, double alpha) {
    color.setAlphaF(alpha);
    return color;
}

// A thin separator line in the quiet colour a dark desktop draws them in.
QWidget *divider(Qt::Orientation orientation, QWidget *parent) {
    auto *line = new QWidget(parent);
    if (orientation == Qt::Vertical)
        line->setFixedWidth(1);
    else
        line->setFixedHeight(1);
    fill(line, QColor(0, 0, 0, 150));
    return line;
}

} // namespace

QString formatText(const QString &fileName) {
    return fileName.section(u'.', -1).toUpper();
}

AudioPlayerView::AudioPlayerView(PlayerManager &playerManager, QWidget *parent)
    : QWidget(parent), playerManager_(playerManager) {
    auto *columns = new QHBoxLayout(this);
    columns->setContentsMargins(0, 0, 0, 0);
    columns->setSpacing(0);
    playlistPanel_ = buildPlaylistPanel();
    columns->addWidget(playlistPanel_);
    divider_ = divider(Qt::Vertical, this);
    columns->addWidget(divider_);
    columns->addWidget(buildInformationColumn(), 1);

    new StateObserver(playerManager_, this, [this] { redraw(); });
    redraw();
}

QWidget *AudioPlayerView::buildPlaylistPanel() {
    auto *panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("playlistPanel"));
    panel->setFixedWidth(300);
    fill(panel, style::windowBackground());

    auto *header = new QWidget(panel);
    fill(header, withAlpha(style::controlBackground(), 0.5));
    auto *headerRow = new QHBoxLayout(header);
    headerRow->setContentsMargins(12, 8, 12, 8);
    QLabel *headerSymbol =
        symbolLabel(QStringLiteral("music.note.list"), style::secondary(), 16, header);
    accessibility::setDecorative(headerSymbol, true);
    headerRow->addWidget(headerSymbol);
    playlistHeader_ = label(QString(), TextStyle::headline, style::secondary(), header);
    playlistHeader_->setObjectName(QStringLiteral("playlistHeader"));
    headerRow->addWidget(playlistHeader_);
    headerRow->addStretch(1);

    QWidget *line = divider(Qt::Horizontal, panel);

    model_ = new PlaylistModel(this);
    connect(model_, &QAbstractItemModel::modelReset, this, [this] { keyboardIndex_ = -1; });
    const auto playRow = [this](const QModelIndex &index) {
        const QUrl url = index.data(PlaylistModel::UrlRole).toUrl();
        playerManager_.setCurrentIndex(index.row());
        playerManager_.loadMedia(url);
    };
    list_ = new PlaylistView(playRow, panel);
    list_->setObjectName(QStringLiteral("playlist"));
    list_->setModel(model_);
    list_->setItemDelegate(new PlaylistRowDelegate(list_));
    list_->setSelectionMode(QAbstractItemView::NoSelection);
    list_->setFrameShape(QFrame::NoFrame);
    list_->setUniformItemSizes(true);
    list_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->setAccessibleName(L.get(u"playlist"));
    // Reached with Tab; a click plays a row and leaves the window's keys where they were.
    list_->setFocusPolicy(Qt::TabFocus);
    list_->viewport()->setAutoFillBackground(false);
    list_->setStyleSheet(QStringLiteral("QListView { background: transparent; }"));
    connect(list_, &QListView::clicked, this, playRow);
    scrolling_ = new QPropertyAnimation(list_->verticalScrollBar(), "value", this);
    scrolling_->setDuration(250);
    scrolling_->setEasingCurve(QEasingCurve::InOutQuad);

    auto *stack = new QVBoxLayout(panel);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    stack->addWidget(header);
    stack->addWidget(line);
    stack->addWidget(list_, 1);
    return panel;
}

QWidget *AudioPlayerView::buildInformationColumn() {
    auto *column = new QWidget(this);
    fill(column, style::windowBackground());
    auto *stack = new QVBoxLayout(column);
    stack->setSpacing(16);
    stack->setContentsMargins(16, 16, 16, 16);
    stack->addStretch(1);

    // The song's cover where it has one, else the note symbol, in the same place.
    cover_ = symbolLabel(QStringLiteral("music.note"), style::blue(), coverSide, column);
    cover_->setObjectName(QStringLiteral("cover"));
    cover_->setFixedSize(coverSide, coverSide);
    cover_->setAlignment(Qt::AlignCenter);
    noteSymbol_ = cover_->pixmap();
    accessibility::setDecorative(cover_, true);
    stack->addWidget(cover_, 0, Qt::AlignHCenter);

    fileName_ = new ElidingLabel(2, column);
    fileName_->setObjectName(QStringLiteral("fileName"));
    QFont nameFont = style::font(TextStyle::title2);
    nameFont.setWeight(QFont::DemiBold);
    fileName_->setFont(nameFont);
    fileName_->setAlignment(Qt::AlignCenter);
    stack->addWidget(fileName_);
    // What the file's tags say, when they say more than its name.
    const auto tagLabel = [column](const QString &name, TextStyle textStyle, const QColor &color) {
        auto *line = new ElidingLabel(1, column);
        line->setObjectName(name);
        line->setFont(style::font(textStyle));
        QPalette palette = line->palette();
        palette.setColor(QPalette::WindowText, color);
        line->setPalette(palette);
        line->setAlignment(Qt::AlignCenter);
        return line;
    };
    tagTitle_ = tagLabel(QStringLiteral("tagTitle"), TextStyle::headline, style::primary());
    artistAndAlbum_ =
        tagLabel(QStringLiteral("artistAndAlbum"), TextStyle::body, style::secondary());
    auto *tagStack = new QVBoxLayout;
    tagStack->setSpacing(2);
    tagStack->addWidget(tagTitle_);
    tagStack->addWidget(artistAndAlbum_);
    chapter_ = tagLabel(QStringLiteral("chapterTitle"), TextStyle::body, style::blue());
    tagStack->addWidget(chapter_);
    stack->addLayout(tagStack);

    loadError_ = new ElidingLabel(3, column);
    loadError_->setObjectName(QStringLiteral("loadError"));
    loadError_->setFont(style::font(TextStyle::callout));
    QPalette errorPalette = loadError_->palette();
    errorPalette.setColor(QPalette::WindowText, QColor(255, 105, 97));
    loadError_->setPalette(errorPalette);
    loadError_->setAlignment(Qt::AlignCenter);
    accessibility::setRole(loadError_, QAccessible::AlertMessage);
    stack->addWidget(loadError_);

    auto *box = new QFrame(column);
    box->setObjectName(QStringLiteral("informationBox"));
    box->setStyleSheet(QStringLiteral("#informationBox { background: rgba(%1, %2, %3, 50%); "
                                      "border-radius: 8px; }")
                           .arg(style::controlBackground().red())
                           .arg(style::controlBackground().green())
                           .arg(style::controlBackground().blue()));
    box->setMinimumWidth(220);
    auto *lines = new QVBoxLayout(box);
    lines->setSpacing(8);
    lines->setContentsMargins(12, 10, 12, 10);
    auto *lengthLine = new QHBoxLayout;
    QLabel *lengthName = label(L.get(u"length"), TextStyle::callout, style::secondary(), box);
    lengthLine->addWidget(lengthName);
    lengthLine->addStretch(1);
    length_ = label(QString(), TextStyle::callout, style::primary(), box);
    length_->setObjectName(QStringLiteral("length"));
    // Read as the name of its value.
    lengthName->setBuddy(length_);
    lengthLine->addWidget(length_);
    lines->addLayout(lengthLine);
    formatLine_ = new QWidget(box);
    auto *formatRow = new QHBoxLayout(formatLine_);
    formatRow->setContentsMargins(0, 0, 0, 0);
    QLabel *formatName = label(L.get(u"format"), TextStyle::callout, style::secondary(), box);
    formatRow->addWidget(formatName);
    formatRow->addStretch(1);
    format_ = label(QString(), TextStyle::callout, style::primary(), box);
    format_->setObjectName(QStringLiteral("format"));
    formatName->setBuddy(format_);
    formatRow->addWidget(format_);
    lines->addWidget(formatLine_);
    stack->addWidget(box, 0, Qt::AlignHCenter);

    navigation_ = new QWidget(column);
    navigation_->setObjectName(QStringLiteral("navigation"));
    auto *row = new QHBoxLayout(navigation_);
    row->setSpacing(20);
    const auto navigationButton = [this](const QString &name, const QString &symbol) {
        auto *button = new QToolButton(navigation_);
        button->setObjectName(name);
        accessibility::pressByKeys(button);
        button->setAutoRaise(true);
        button->setIcon(symbols::icon(symbol, style::primary()));
        button->setIconSize(QSize(22, 22));
        button->setFixedHeight(30);
        button->setFocusPolicy(Qt::TabFocus);
        return button;
    };
    previous_ = navigationButton(QStringLiteral("previousButton"), QStringLiteral("backward.fill"));
    previous_->setAccessibleName(L.get(u"previous"));
    connect(previous_, &QToolButton::clicked, &playerManager_, &PlayerManager::playPrevious);
    position_ = label(QString(), TextStyle::caption, style::secondary(), navigation_);
    position_->setObjectName(QStringLiteral("position"));
    position_->setFixedHeight(30);
    next_ = navigationButton(QStringLiteral("nextButton"), QStringLiteral("forward.fill"));
    next_->setAccessibleName(L.get(u"next"));
    connect(next_, &QToolButton::clicked, &playerManager_, &PlayerManager::playNext);
    row->addWidget(previous_);
    row->addWidget(position_);
    row->addWidget(next_);
    stack->addWidget(navigation_, 0, Qt::AlignHCenter);
    resumeOffer_ = new ResumeOffer(playerManager_, column, ResumeOffer::Placement::inColumn);
    stack->addWidget(resumeOffer_, 0, Qt::AlignHCenter);
    stack->addStretch(1);
    return column;
}

void AudioPlayerView::redraw() {
    resumeOffer_->redraw();
    const QList<QUrl> &playlist = playerManager_.playlist();
    model_->update(playlist, playerManager_.currentIndex(), playerManager_.isPlaying());
    const bool hasPlaylist = !playlist.isEmpty();
    playlistPanel_->setVisible(hasPlaylist);
    divider_->setVisible(hasPlaylist);
    playlistHeader_->setText(L.get(u"playlistCount").arg(playlist.size()));

    fileName_->setFullText(shownFileName(playerManager_.fileName()));
    const QImage &coverImage = playerManager_.coverArt().image;
    if (coverImage.cacheKey() != shownCoverKey_) {
        shownCoverKey_ = coverImage.cacheKey();
        accessibility::setDecorative(cover_, coverImage.isNull());
        if (coverImage.isNull()) {
            cover_->setPixmap(noteSymbol_);
        } else {
            const qreal ratio = devicePixelRatioF();
            QPixmap picture = QPixmap::fromImage(
                coverImage.scaled(QSize(coverSide, coverSide) * ratio, Qt::KeepAspectRatio,
                                  Qt::SmoothTransformation));
            picture.setDevicePixelRatio(ratio);
            cover_->setPixmap(picture);
        }
    }
    const QString album = playerManager_.tags().album;
    const QString coverName = album.isEmpty() ? L.get(u"cover") : L.get(u"coverOf").arg(album);
    if (cover_->accessibleName() != coverName)
        cover_->setAccessibleName(coverName);
    const TagLines tags = tagLines(playerManager_.tags(), playerManager_.fileName());
    tagTitle_->setFullText(tags.title);
    tagTitle_->setVisible(!tags.title.isEmpty());
    artistAndAlbum_->setFullText(tags.artistAndAlbum);
    artistAndAlbum_->setVisible(!tags.artistAndAlbum.isEmpty());
    const QString chapter = chapterText(playerManager_.chapters(), playerManager_.currentChapter());
    chapter_->setFullText(chapter);
    chapter_->setVisible(!chapter.isEmpty());
    loadError_->setFullText(
        loadErrorText(shownFileName(playerManager_.fileName()), playerManager_.loadError()));
    loadError_->setVisible(!playerManager_.loadError().isEmpty());
    length_->setText(timeString(playerManager_.duration()));
    formatLine_->setVisible(playerManager_.player() != nullptr);
    format_->setText(formatText(playerManager_.fileName()));

    navigation_->setVisible(playlist.size() >= 2);
    previous_->setEnabled(playerManager_.hasPrevious());
    next_->setEnabled(playerManager_.hasNext());
    position_->setText(
        QStringLiteral("%1 / %2").arg(playerManager_.currentIndex() + 1).arg(playlist.size()));

    // The keyboard's place in the list starts at the row that plays, and follows it.
    const QModelIndex playing = model_->index(int(playerManager_.currentIndex()));
    if (playing.isValid() && playerManager_.currentIndex() != keyboardIndex_) {
        keyboardIndex_ = playerManager_.currentIndex();
        list_->selectionModel()->setCurrentIndex(playing, QItemSelectionModel::NoUpdate);
    }

    if (isVisible() && playerManager_.currentIndex() != followedIndex_) {
        followedIndex_ = playerManager_.currentIndex();
        scrollToCurrentRow();
    }
}

void AudioPlayerView::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    // Coming on screen is not a move of the current row: the list stays where it is.
    followedIndex_ = playerManager_.currentIndex();
}

void AudioPlayerView::scrollToCurrentRow() {
    const qint64 current = playerManager_.currentIndex();
    if (current < 0 || current >= model_->rowCount())
        return;
    const QRect row = list_->visualRect(model_->index(int(current)));
    QScrollBar *bar = list_->verticalScrollBar();
    const int target = std::clamp(bar->value() + row.center().y() - list_->viewport()->height() / 2,
                                  bar->minimum(), bar->maximum());
    scrolling_->stop();
    scrolling_->setStartValue(bar->value());
    scrolling_->setEndValue(target);
    scrolling_->start();
}
