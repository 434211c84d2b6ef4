#include "playback/frame_saver.h"

#include "playback/player_manager.h"

#include <QStandardPaths>

FrameSaver::FrameSaver(PlayerManager &playerManager, QObject *parent)
    : QObject(parent), playerManager_(playerManager) {
    // One at a time, in the order asked: two quick saves get two names, not a race for one.
    writer_.setMaxThreadCount(1);
}

FrameSaver::~FrameSaver() {
    // A picture being written is finished, so no half of one is left behind.
    writer_.waitForDone();
}

QString FrameSaver::picturesFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
}

bool FrameSaver::save() {
    const QImage frame = playerManager_.grabFrame();
    if (frame.isNull())
        return false;
    const QString folder = picturesFolder();
    const QString name = frame_file::name(playerManager_.fileName(), playerManager_.currentTime());
    writer_.start([this, frame, folder, name] {
        const frame_file::Result result = frame_file::write(frame, folder, name);
        QMetaObject::invokeMethod(
            this, [this, result] { Q_EMIT finished(result); }, Qt::QueuedConnection);
    });
    return true;
}
