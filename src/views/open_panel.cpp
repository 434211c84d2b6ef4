#include "views/open_panel.h"

#include "i18n/localization.h"
#include "playback/media_kind.h"

#include <QApplication>
#include <QFileDialog>
#include <QMimeDatabase>

#include <algorithm>

namespace open_panel {
namespace {

Runner &runner() {
    static Runner run = [](QFileDialog &dialog) { return dialog.exec(); };
    return run;
}

QUrl chooseFile(QWidget *parent, const QStringList &nameFilters) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    // The kinds alone: the patterns of every type would be read out, a hundred and more.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters(nameFilters);
    const int answer = runner()(dialog);
    // Closed by Enter while its completion list was open, the dialog leaves no window active,
    // and a screen reader then ignores the one that is.
    // Asking the window manager is not enough when it already gives the window the keys:
    // no focus event follows, so Qt is told itself.
    if (parent && !parent->window()->isActiveWindow()) {
        parent->window()->activateWindow();
        QApplication::setActiveWindow(parent->window());
    }
    if (answer != QDialog::Accepted || dialog.selectedUrls().isEmpty())
        return {};
    const QUrl chosen = dialog.selectedUrls().first();
    return chosen.isLocalFile() ? chosen : QUrl();
}

} // namespace

QStringList mediaNameFilters() {
    const auto patternsOf = [](const auto &extensions, QLatin1String mimePrefix) {
        QStringList patterns;
        for (QStringView extension : extensions)
            patterns << QStringLiteral("*.") + extension.toString();
        // Any other type of the kind, as the system's MIME database lists them.
        for (const QMimeType &type : QMimeDatabase().allMimeTypes()) {
            if (!type.name().startsWith(mimePrefix))
                continue;
            for (const QString &pattern : type.globPatterns()) {
                if (pattern.startsWith(QLatin1String("*.")) && !patterns.contains(pattern))
                    patterns << pattern;
            }
        }
        return patterns;
    };
    const QStringList video = patternsOf(media_kind::videoExtensions, QLatin1String("video/"));
    const QStringList audio = patternsOf(media_kind::audioExtensions, QLatin1String("audio/"));
    QStringList media = audio;
    for (const QString &pattern : video)
        if (!media.contains(pattern))
            media << pattern;
    const auto filter = [](QStringView key, const QStringList &patterns) {
        return QStringLiteral("%1 (%2)").arg(L.get(key), patterns.join(u' '));
    };
    return {filter(u"mediaFiles", media), filter(u"videoFiles", video),
            filter(u"audioFiles", audio), filter(u"allFiles", {QStringLiteral("*")})};
}

QUrl chooseMediaFile(QWidget *parent) {
    return chooseFile(parent, mediaNameFilters());
}

QUrl chooseSubtitleFile(QWidget *parent) {
    QStringList patterns;
    for (QStringView extension : media_kind::subtitleExtensions)
        patterns << QStringLiteral("*.") + extension.toString();
    return chooseFile(parent,
                      {L.get(u"subtitles") + QStringLiteral(" (%1)").arg(patterns.join(u' '))});
}

void setRunner(Runner run) {
    runner() = std::move(run);
}

} // namespace open_panel
