#include "views/time_label.h"

#include <QPainter>

#include <algorithm>

TimeLabel::TimeLabel(int minimumWidth, QWidget *parent)
    : QLabel(parent), minimumWidth_(minimumWidth) {
    setAlignment(Qt::AlignCenter);
}

int TimeLabel::digitWidth() const {
    const QFontMetrics metrics = fontMetrics();
    int widest = 0;
    for (char digit = '0'; digit <= '9'; ++digit)
        widest = std::max(widest, metrics.horizontalAdvance(QChar(digit)));
    return widest;
}

int TimeLabel::textWidth(const QString &text) const {
    const QFontMetrics metrics = fontMetrics();
    const int digit = digitWidth();
    int width = 0;
    for (const QChar c : text)
        width += c.isDigit() ? digit : metrics.horizontalAdvance(c);
    return width;
}

QSize TimeLabel::sizeHint() const {
    return QSize(std::max(minimumWidth_, textWidth(text()) + 2), fontMetrics().height());
}

QSize TimeLabel::minimumSizeHint() const {
    return sizeHint();
}

void TimeLabel::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    const QFontMetrics metrics = fontMetrics();
    const int digit = digitWidth();
    const QRect area = contentsRect();
    int x = area.left() + (area.width() - textWidth(text())) / 2;
    for (const QChar c : text()) {
        const int advance = c.isDigit() ? digit : metrics.horizontalAdvance(c);
        painter.drawText(QRect(x, area.top(), advance, area.height()), Qt::AlignCenter, c);
        x += advance;
    }
}
