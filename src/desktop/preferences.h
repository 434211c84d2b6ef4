#pragma once

#include <QString>
#include <QVariant>

// The per-user preferences, through QSettings, guarded against what would stop a launch:
// QSettings opens its files with a blocking read, so a FIFO (or anything but a regular file)
// where a settings file belongs would hang Sonavel before its window shows. Then Sonavel
// goes on without preferences. Either problem is said once on standard error.
namespace preferences {

// The stored value, or an invalid QVariant when there is none or none can be read.
QVariant value(const QString &key);
// Stores a value. One that cannot be written (a read-only folder) is not fatal: playback
// goes on, and only the value is lost.
void setValue(const QString &key, const QVariant &value);

} // namespace preferences
