#include "views/eliding_label.h"

#include "views/name_text.h"

#include <QEvent>

ElidingLabel::ElidingLabel(int maxLines, QWidget *parent) : QLabel(parent), maxLines_(maxLines) {
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
}

void ElidingLabel::setFullText(const QString &text) {
    if (text == fullText_)
        return;
    fullText_ = text;
    setToolTip(text);
    // Read whole, as neither wrapped nor cut short.
    setAccessibleName(text);
    relayout();
}

QSize ElidingLabel::minimumSizeHint() const {
    return QSize(0, maxLines_ * fontMetrics().lineSpacing() + 2 * margin() + 2);
}

QSize ElidingLabel::sizeHint() const {
    return QSize(fontMetrics().horizontalAdvance(fullText_), minimumSizeHint().height());
}

void ElidingLabel::resizeEvent(QResizeEvent *event) {
    QLabel::resizeEvent(event);
    relayout();
}

void ElidingLabel::changeEvent(QEvent *event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        updateGeometry();
        relayout();
    }
}

void ElidingLabel::relayout() {
    const int width = contentsRect().width() - 2 * margin();
    setText(wrapAndElide(fullText_, font(), width, maxLines_));
}
