#include "views/style.h"

#include <QApplication>
#include <QPalette>

namespace style {
namespace {

// Sizes in points of the text styles at a 13-point body text.
constexpr double bodyPoints = 13;

} // namespace

QFont scaledFont(double points, bool bold) {
    QFont font = QApplication::font();
    font.setPointSizeF(font.pointSizeF() * points / bodyPoints);
    font.setBold(bold);
    return font;
}

QFont font(TextStyle textStyle) {
    switch (textStyle) {
    case TextStyle::title2:
        return scaledFont(17);
    case TextStyle::title3:
        return scaledFont(15);
    case TextStyle::headline:
        return scaledFont(13, true);
    case TextStyle::body:
        return scaledFont(13);
    case TextStyle::callout:
        return scaledFont(12);
    case TextStyle::caption:
        return scaledFont(10);
    case TextStyle::caption2:
        return scaledFont(10);
    }
    return scaledFont(13);
}

QColor primary() {
    return QApplication::palette().color(QPalette::WindowText);
}

QColor secondary() {
    QColor color = primary();
    color.setAlphaF(0.55);
    return color;
}

QColor gray() {
    return QColor(142, 142, 147);
}

QColor blue() {
    return QColor(10, 132, 255);
}

QColor focusRing() {
    return QColor(64, 156, 255);
}

QColor windowBackground() {
    return QApplication::palette().color(QPalette::Window);
}

QColor controlBackground() {
    return QApplication::palette().color(QPalette::Base);
}

} // namespace style
