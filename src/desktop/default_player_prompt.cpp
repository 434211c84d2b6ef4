#include "desktop/default_player_prompt.h"

#include "desktop/preferences.h"
#include "i18n/localization.h"

#include <QCheckBox>
#include <QIcon>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include <memory>

namespace {

const QString dontAskKey = QStringLiteral("DontAskDefaultPlayer");

struct GObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
using AppInfo = std::unique_ptr<GAppInfo, GObjectUnref>;

AppInfo installedEntry() {
    return AppInfo(G_APP_INFO(g_desktop_app_info_new(DefaultPlayerPrompt::desktopEntryId)));
}

} // namespace

// The canonical shared-mime-info types of the video and audio extensions Sonavel plays.
const QStringList DefaultPlayerPrompt::examinedTypes{QStringLiteral("video/mp4"),
                                                     QStringLiteral("video/quicktime"),
                                                     QStringLiteral("video/x-matroska")};
const QStringList DefaultPlayerPrompt::registeredTypes{
    QStringLiteral("video/mp4"),        QStringLiteral("video/quicktime"),
    QStringLiteral("video/x-matroska"), QStringLiteral("video/x-msvideo"),
    QStringLiteral("audio/mpeg"),       QStringLiteral("audio/mp4"),
    QStringLiteral("audio/x-wav")};

DefaultPlayerPrompt::DefaultPlayerPrompt(QWidget *dialogParent, QObject *parent)
    : QObject(parent), dialogParent_(dialogParent), runner_([](QMessageBox &box) {
          box.exec();
          return box.clickedButton();
      }) {}

bool DefaultPlayerPrompt::isInstalled() const {
    return installedEntry() != nullptr;
}

void DefaultPlayerPrompt::checkDefaultPlayer() {
    if (preferences::value(dontAskKey).toBool())
        return;
    if (!isInstalled() || isDefaultPlayer())
        return;
    QTimer::singleShot(delayMs, this, &DefaultPlayerPrompt::showDefaultPlayerDialog);
}

bool DefaultPlayerPrompt::isDefaultPlayer() {
    ++lookups_;
    for (const QString &type : examinedTypes) {
        const AppInfo handler(g_app_info_get_default_for_type(type.toUtf8().constData(), FALSE));
        const char *id = handler ? g_app_info_get_id(handler.get()) : nullptr;
        if (id && QByteArrayView(id).contains(identifier))
            return true;
    }
    return false;
}

void DefaultPlayerPrompt::showDefaultPlayerDialog() {
    QMessageBox box(dialogParent_);
    box.setIconPixmap(QIcon(QStringLiteral(":/io.sonavel.Sonavel.svg")).pixmap(QSize(64, 64)));
    box.setWindowTitle(L.get(u"appName"));
    box.setText(L.get(u"defaultPlayerTitle"));
    box.setInformativeText(L.get(u"defaultPlayerMessage"));
    QPushButton *setAsDefault = box.addButton(L.get(u"setAsDefault"), QMessageBox::AcceptRole);
    box.addButton(L.get(u"notNow"), QMessageBox::RejectRole);
    box.setDefaultButton(setAsDefault);
    auto *dontAsk = new QCheckBox(L.get(u"dontAskAgain"), &box);
    box.setCheckBox(dontAsk);
    Q_EMIT dialogShown();

    QPointer<QAbstractButton> chosen = runner_(box);
    if (dontAsk->isChecked())
        preferences::setValue(dontAskKey, true);
    if (chosen && chosen == setAsDefault)
        setAsDefaultPlayer();
}

void DefaultPlayerPrompt::setAsDefaultPlayer() {
    const AppInfo entry = installedEntry();
    if (!entry)
        return;
    // Each type on its own: a failure for one does not stop the others.
    for (const QString &type : registeredTypes)
        g_app_info_set_as_default_for_type(entry.get(), type.toUtf8().constData(), nullptr);
}
