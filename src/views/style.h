#pragma once

#include <QColor>
#include <QFont>

// Text styles and colours of the views, defined once. Sizes are relative to the system font,
// so the interface follows the desktop's font size setting.
enum class TextStyle { title2, title3, headline, body, callout, caption, caption2 };

namespace style {

QFont font(TextStyle textStyle);
// The system font at `points` for every 13 points of body text (symbols sized as text).
QFont scaledFont(double points, bool bold = false);

QColor primary();
QColor secondary();
QColor gray();
QColor blue();
// The keyboard focus mark: light enough to stand out on every background of the dark theme.
QColor focusRing();
QColor windowBackground();
QColor controlBackground();

} // namespace style
