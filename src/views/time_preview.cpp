#include "views/time_preview.h"

#include "views/accessibility.h"
#include "views/style.h"

#include <QPainter>

#include <algorithm>

namespace {

constexpr int padding = 4;
const QColor background(28, 28, 30);
const QColor border(72, 72, 74);

} // namespace

TimePreview::TimePreview(QWidget *parent) : QWidget(parent) {
    setObjectName(QStringLiteral("timePreview"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setFont(style::font(TextStyle::caption));
    accessibility::setDecorative(this, true);
    hide();
}

void TimePreview::showAt(QPoint anchor, const QString &caption, const QImage &picture) {
    anchor_ = anchor;
    if (caption != caption_ || picture.cacheKey() != picture_.cacheKey()) {
        caption_ = caption;
        picture_ = picture;
        update();
    }
    place();
    if (isHidden()) {
        show();
        raise();
    }
}

void TimePreview::setPicture(const QImage &picture) {
    if (picture.cacheKey() == picture_.cacheKey())
        return;
    picture_ = picture;
    place();
    update();
}

int TimePreview::captionHeight() const {
    return fontMetrics().height() + padding;
}

QSize TimePreview::pictureSizeShown() const {
    if (picture_.isNull() || !parentWidget())
        return {};
    const qreal ratio = std::max(devicePixelRatioF(), 1.0);
    const QSize natural = (QSizeF(picture_.size()) / ratio).toSize();
    // A small window shows it smaller rather than cut.
    const QSize room(parentWidget()->width() - 2 * padding,
                     parentWidget()->height() - 3 * padding - captionHeight());
    if (room.width() < 8 || room.height() < 8)
        return {};
    return natural.width() <= room.width() && natural.height() <= room.height()
               ? natural
               : natural.scaled(room, Qt::KeepAspectRatio);
}

QRect TimePreview::pictureRect() const {
    const QSize shown = pictureSizeShown();
    if (shown.isEmpty())
        return {};
    return QRect(QPoint((width() - shown.width()) / 2, padding), shown);
}

void TimePreview::place() {
    if (!parentWidget())
        return;
    const QSize shown = pictureSizeShown();
    const int textWidth = fontMetrics().horizontalAdvance(caption_) + 4 * padding;
    const int width = std::max(shown.width() + 2 * padding, textWidth);
    const int height = (shown.isEmpty() ? padding : shown.height() + 2 * padding) + captionHeight();
    const QSize room = parentWidget()->size();
    const int left = std::clamp(anchor_.x() - width / 2, 0, std::max(room.width() - width, 0));
    const int top = std::clamp(anchor_.y() - height, 0, std::max(room.height() - height, 0));
    setGeometry(left, top, width, height);
}

void TimePreview::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(border);
    painter.setBrush(background);
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    const QRect pictureArea = pictureRect();
    if (!pictureArea.isEmpty()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(pictureArea, picture_);
    }
    painter.setPen(Qt::white);
    const int textTop = pictureArea.isEmpty() ? padding / 2 : pictureArea.bottom() + padding;
    painter.drawText(QRect(0, textTop, width(), captionHeight()), Qt::AlignCenter, caption_);
}
