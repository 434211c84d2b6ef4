#pragma once

#include "playback/preview_cache.h"

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QSize>
#include <QTimer>

#include <memory>

class PlayerManager;
class PreviewDecoder;

// The picture to show for the place the pointer is at on the time bar, for the film loaded.
//
// Nothing is decoded before the pointer first comes to the bar; the decoder then made is for
// that film and goes when it goes. While the pointer moves, keyframes are asked for (quick to
// reach); once it rests, the very frame. Pictures of places already seen are kept, a bounded
// number. A picture comes after the one shown only if it was asked for later: one for a place
// the pointer has left may still show while it is the nearest there is, an older one never.
class PreviewSource : public QObject {
    Q_OBJECT
public:
    explicit PreviewSource(PlayerManager &playerManager, QObject *parent = nullptr);
    ~PreviewSource() override;

    // The largest picture, in device pixels.
    void setBox(QSize pixels) { box_ = pixels; }
    // The pointer is at `seconds`.
    void point(double seconds);
    // The pointer left the bar: nothing more is asked for.
    void stop();

    // The picture for the place last pointed at, or the nearest there is so far; null when
    // there is none (not yet, not a film, or a film that gives none).
    const QImage &picture() const { return picture_; }
    // The loaded film's decoder, while there is one.
    PreviewDecoder *decoder() const { return decoder_.get(); }

    static constexpr int restMs = 200;
    static constexpr int keptPictures = 48;

Q_SIGNALS:
    void pictureChanged();

private:
    bool canDecode() const;
    void ask(bool exact);
    void take(quint64 request, double seconds, bool exact, const QImage &picture);
    void show(const QImage &picture);
    // Lets go of the decoder and what it made once the film it was for is gone.
    void followFilm();
    void dropFilm();

    PlayerManager &playerManager_;
    std::unique_ptr<PreviewDecoder> decoder_;
    // The load the decoder and the kept pictures are for.
    quint64 film_ = 0;
    bool filmFailed_ = false;
    PreviewCache cache_{keptPictures};
    QImage picture_;
    QSize box_{176, 132};
    double wanted_ = 0;
    // The last request made, and the newest whose picture is shown (or overtaken by one kept).
    quint64 newestAsked_ = 0;
    quint64 newestShown_ = 0;
    qint64 askedSlot_ = -1;
    bool askedExact_ = false;
    QTimer rest_;
    QTimer filmCheck_;
};
