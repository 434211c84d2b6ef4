#include "desktop/preferences.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>

#include <cstdio>
#include <sys/stat.h>

namespace preferences {
namespace {

// The files QSettings reads for this application, in every configuration folder.
QStringList settingsFiles() {
    QStringList folders = QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation);
    folders.append(QStringLiteral("/etc/xdg"));
    const QString organization = QCoreApplication::organizationName();
    const QString application = QCoreApplication::applicationName();
    QStringList files;
    for (const QString &folder : folders) {
        files.append(
            QDir(folder).filePath(organization + u'/' + application + QStringLiteral(".conf")));
        files.append(QDir(folder).filePath(organization + QStringLiteral(".conf")));
    }
    return files;
}

void sayOnce(bool &said, const QString &text) {
    if (said)
        return;
    said = true;
    std::fprintf(stderr, "sonavel: %s\n", qPrintable(text));
}

// Checked on every use: a file may be put there while Sonavel runs.
bool canBeRead() {
    static bool said = false;
    for (const QString &file : settingsFiles()) {
        struct stat status {};
        if (::stat(QFile::encodeName(file).constData(), &status) == 0 && !S_ISREG(status.st_mode)) {
            sayOnce(
                said,
                QStringLiteral("%1 is not a regular file; going on without preferences").arg(file));
            return false;
        }
    }
    return true;
}

} // namespace

QVariant value(const QString &key) {
    if (!canBeRead())
        return {};
    return QSettings().value(key);
}

void setValue(const QString &key, const QVariant &value) {
    if (!canBeRead())
        return;
    QSettings settings;
    settings.setValue(key, value);
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        static bool said = false;
        sayOnce(said, QStringLiteral("cannot save preferences to %1").arg(settings.fileName()));
    }
}

} // namespace preferences
