#include "app/window_frame_text.h"

#include <QLocale>
#include <QRegularExpression>

#include <cmath>

namespace window_frame_text {
namespace {

QString number(double value) {
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

} // namespace

QString toString(const QRectF &frame) {
    return QStringLiteral("{{%1, %2}, {%3, %4}}")
        .arg(number(frame.x()), number(frame.y()), number(frame.width()), number(frame.height()));
}

std::optional<QRectF> fromString(const QString &text) {
    static const QRegularExpression shape(QStringLiteral(
        R"(^\s*\{\s*\{\s*([^,{}\s]+)\s*,\s*([^,{}\s]+)\s*\}\s*,\s*\{\s*([^,{}\s]+)\s*,\s*([^,{}\s]+)\s*\}\s*\}\s*$)"));
    const QRegularExpressionMatch match = shape.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    double values[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        values[i] = match.capturedView(i + 1).toDouble(&ok);
        if (!ok || !std::isfinite(values[i]))
            return std::nullopt;
    }
    if (values[2] <= 0 || values[3] <= 0)
        return std::nullopt;
    return QRectF(values[0], values[1], values[2], values[3]);
}

} // namespace window_frame_text
