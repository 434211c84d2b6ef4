#pragma once

#include "playback/frame_file.h"

#include <QObject>
#include <QThreadPool>

class PlayerManager;

// Save Frame: the film's frame on show, written as a PNG into the user's pictures folder off
// the main thread (encoding a large frame takes long enough to stall the picture).
class FrameSaver : public QObject {
    Q_OBJECT
public:
    explicit FrameSaver(PlayerManager &playerManager, QObject *parent = nullptr);
    ~FrameSaver() override;

    // Takes the frame now and writes it; finished() says how it went. False, and nothing
    // written, when no film shows a frame.
    bool save();
    // $XDG_PICTURES_DIR, as the desktop's user folders name it, or ~/Pictures.
    static QString picturesFolder();

Q_SIGNALS:
    void finished(const frame_file::Result &result);

private:
    PlayerManager &playerManager_;
    QThreadPool writer_;
};
