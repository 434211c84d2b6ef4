#pragma once

#include <QColor>
#include <QIcon>
#include <QString>

// The named monochrome symbols bundled with Sonavel, drawn at any size in one colour.
namespace symbols {

// An icon that renders the symbol sharply at every size it is asked for; dimmed when disabled.
QIcon icon(const QString &name, const QColor &color);
// Whether a symbol of that name is bundled.
bool exists(const QString &name);

} // namespace symbols
