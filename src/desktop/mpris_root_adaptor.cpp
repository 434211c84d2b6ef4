#include "desktop/mpris_root_adaptor.h"

#include "desktop/media_controls.h"
#include "playback/player_manager.h"

#include <QCoreApplication>

MprisRootAdaptor::MprisRootAdaptor(MediaControls &controls)
    : QDBusAbstractAdaptor(&controls), controls_(controls) {}

bool MprisRootAdaptor::fullscreen() const {
    return controls_.window().isFullScreen && controls_.window().isFullScreen();
}

bool MprisRootAdaptor::canSetFullscreen() const {
    const PlayerManager &manager = controls_.playerManager();
    return manager.player() && manager.isVideo() && manager.loadError().isEmpty() &&
           controls_.window().setFullScreen;
}

void MprisRootAdaptor::setFullscreen(bool fullscreen) {
    if (canSetFullscreen())
        controls_.window().setFullScreen(fullscreen);
}

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
    if (controls_.window().raise)
        controls_.window().raise();
}

void MprisRootAdaptor::Quit() {
    QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit,
                              Qt::QueuedConnection);
}
