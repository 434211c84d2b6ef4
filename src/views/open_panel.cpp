#include "views/open_panel.h"

#include "i18n/localization.h"
#include "playback/media_kind.h"

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
    dialog.setNameFilters(nameFilters);
    if (runner()(dialog) != QDialog::Accepted || dialog.selectedUrls().isEmpty())
        return {};
    const QUrl chosen = dialog.selectedUrls().first();
    return chosen.isLocalFile() ? chosen : QUrl();
}

} // namespace

QStringList mediaNameFilters() {
    QStringList patterns;
    for (const auto &extensions : {QList<QStringView>(media_kind::audioExtensions.begin(),
                                                      media_kind::audioExtensions.end()),
                                   QList<QStringView>(media_kind::videoExtensions.begin(),
                                                      media_kind::videoExtensions.end())}) {
        for (QStringView extension : extensions)
            patterns << QStringLiteral("*.") + extension.toString();
    }
    // Any other audio or video type, as the system's MIME database lists them.
    for (const QMimeType &type : QMimeDatabase().allMimeTypes()) {
        if (!type.name().startsWith(QLatin1String("audio/")) &&
            !type.name().startsWith(QLatin1String("video/")))
            continue;
        for (const QString &pattern : type.globPatterns()) {
            if (pattern.startsWith(QLatin1String("*.")) && !patterns.contains(pattern))
                patterns << pattern;
        }
    }
    return {QFileDialog::tr("Audio and video files (%1)").arg(patterns.join(u' '))};
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
