#include "desktop/mpris_root_adaptor.h"

#include <QCoreApplication>

MprisRootAdaptor::MprisRootAdaptor(QObject *parent, std::function<void()> raise)
    : QDBusAbstractAdaptor(parent), raise_(std::move(raise)) {}

QStringList MprisRootAdaptor::supportedMimeTypes() const {
    // The types the desktop entry declares.
    static const QStringList types =
        QStringLiteral("audio/mpeg;audio/mp3;audio/x-mp3;audio/x-mpeg;audio/mp4;audio/m4a;"
                       "audio/x-m4a;audio/x-wav;audio/wav;audio/vnd.wave;video/mp4;video/x-m4v;"
                       "video/mp4v-es;video/quicktime;video/x-msvideo;video/avi;video/msvideo;"
                       "video/x-avi;video/x-matroska")
            .split(u';');
    return types;
}

void MprisRootAdaptor::Raise() {
    raise_();
}

void MprisRootAdaptor::Quit() {
    QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit,
                              Qt::QueuedConnection);
}
