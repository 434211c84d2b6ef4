#pragma once

#include <QProxyStyle>

// Fusion with a focus mark that a keyboard user sees on the dark theme: a bright ring around
// the focused button, slider or row, well over 3:1 against the backgrounds it sits on, where
// Fusion draws a faint outline or nothing.
class FocusRingStyle : public QProxyStyle {
    Q_OBJECT
public:
    using QProxyStyle::QProxyStyle;

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex *option,
                            QPainter *painter, const QWidget *widget) const override;
    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget) const override;

    // The ring, just inside `rect`.
    static void paintRing(QPainter *painter, const QRect &rect);
};
