#pragma once

#include <QRectF>
#include <QString>

#include <optional>

// The stored form of a window frame: "{{x, y}, {w, h}}", origin pair then size pair.
namespace window_frame_text {

// Numbers are written in their shortest form that reads back to the same value.
QString toString(const QRectF &frame);
// nullopt unless the text holds four finite numbers in that shape and the size is positive.
std::optional<QRectF> fromString(const QString &text);

} // namespace window_frame_text
