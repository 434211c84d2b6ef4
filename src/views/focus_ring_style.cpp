#include "views/focus_ring_style.h"

#include "views/style.h"

#include <QPainter>
#include <QStyleOptionComplex>

#include <memory>

void FocusRingStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex *option,
                                        QPainter *painter, const QWidget *widget) const {
    const bool ringed = (control == CC_ToolButton || control == CC_Slider) &&
                        option->state.testFlag(State_HasFocus);
    if (!ringed) {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        return;
    }
    // Drawn as unfocused, so that the style's own small mark does not sit inside the ring.
    std::unique_ptr<QStyleOptionComplex> plain;
    if (const auto *button = qstyleoption_cast<const QStyleOptionToolButton *>(option))
        plain = std::make_unique<QStyleOptionToolButton>(*button);
    else if (const auto *slider = qstyleoption_cast<const QStyleOptionSlider *>(option))
        plain = std::make_unique<QStyleOptionSlider>(*slider);
    else
        plain = std::make_unique<QStyleOptionComplex>(*option);
    plain->state.setFlag(State_HasFocus, false);
    QProxyStyle::drawComplexControl(control, plain.get(), painter, widget);
    paintRing(painter, option->rect);
}

void FocusRingStyle::drawPrimitive(PrimitiveElement element, const QStyleOption *option,
                                   QPainter *painter, const QWidget *widget) const {
    if (element == PE_FrameFocusRect) {
        paintRing(painter, option->rect);
        return;
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
}

void FocusRingStyle::paintRing(QPainter *painter, const QRect &rect) {
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(QPen(style::focusRing(), 2));
    painter->setBrush(Qt::NoBrush);
    painter->drawRoundedRect(QRectF(rect).adjusted(1, 1, -1, -1), 4, 4);
    painter->restore();
}
