#include "playback/preview_source.h"

#include "playback/player_manager.h"
#include "playback/preview_decoder.h"
#include "playback/preview_rules.h"

#include <QFile>

#include <malloc.h>

PreviewSource::PreviewSource(PlayerManager &playerManager, QObject *parent)
    : QObject(parent), playerManager_(playerManager) {
    rest_.setSingleShot(true);
    rest_.setInterval(restMs);
    connect(&rest_, &QTimer::timeout, this, [this] {
        if (canDecode() &&
            cache_.find(previewSlot(wanted_, playerManager_.duration()), true).isNull())
            ask(true);
    });
    // The change signal comes before the change: look once it is made.
    filmCheck_.setSingleShot(true);
    filmCheck_.setInterval(0);
    connect(&filmCheck_, &QTimer::timeout, this, &PreviewSource::followFilm);
    connect(&playerManager_, &PlayerManager::objectWillChange, this, [this] {
        if (!filmCheck_.isActive())
            filmCheck_.start();
    });
}

PreviewSource::~PreviewSource() = default;

bool PreviewSource::canDecode() const {
    return playerManager_.player() && playerManager_.isVideo() &&
           playerManager_.loadError().isEmpty() && playerManager_.currentURL().isLocalFile() &&
           !filmFailed_;
}

void PreviewSource::point(double seconds) {
    followFilm();
    wanted_ = seconds;
    if (!canDecode()) {
        show({});
        return;
    }
    const QImage kept = cache_.find(previewSlot(seconds, playerManager_.duration()), false);
    if (!kept.isNull()) {
        // Anything asked for before is older than this.
        newestShown_ = newestAsked_;
        show(kept);
    } else {
        ask(false);
    }
    rest_.start();
}

void PreviewSource::stop() {
    rest_.stop();
    if (decoder_)
        decoder_->dropWaiting();
    askedSlot_ = -1;
}

void PreviewSource::ask(bool exact) {
    const qint64 slot = previewSlot(wanted_, playerManager_.duration());
    if (slot == askedSlot_ && (askedExact_ || !exact))
        return;
    if (!decoder_) {
        film_ = playerManager_.loadSerial();
        // Its requests are numbered afresh.
        newestAsked_ = newestShown_ = 0;
        const QSizeF film = playerManager_.player()->presentationSize();
        decoder_ = std::make_unique<PreviewDecoder>(
            QFile::encodeName(playerManager_.currentURL().toLocalFile()),
            previewPictureSize(film, box_));
        connect(decoder_.get(), &PreviewDecoder::pictureReady, this, &PreviewSource::take);
        connect(decoder_.get(), &PreviewDecoder::failed, this, [this] {
            filmFailed_ = true;
            // Not from within its own signal.
            decoder_.release()->deleteLater();
            show({});
        });
        if (decoder_->hasFailed()) {
            filmFailed_ = true;
            decoder_.reset();
            return;
        }
    }
    askedSlot_ = slot;
    askedExact_ = exact;
    newestAsked_ = decoder_->request(wanted_, exact);
}

void PreviewSource::take(quint64 request, double seconds, bool exact, const QImage &picture) {
    if (picture.isNull())
        return;
    const qint64 slot = previewSlot(seconds, playerManager_.duration());
    cache_.insert(slot, exact, picture);
    if (request == newestAsked_)
        askedSlot_ = -1;
    if (request <= newestShown_)
        return;
    newestShown_ = request;
    show(picture);
}

void PreviewSource::show(const QImage &picture) {
    if (picture.isNull() && picture_.isNull())
        return;
    picture_ = picture;
    Q_EMIT pictureChanged();
}

void PreviewSource::followFilm() {
    if ((decoder_ || filmFailed_ || cache_.size() > 0) &&
        (playerManager_.loadSerial() != film_ || !playerManager_.player()))
        dropFilm();
}

void PreviewSource::dropFilm() {
    if (decoder_) {
        decoder_.reset();
        // The decoder's threads freed their pictures into arenas of their own, which glibc
        // keeps for threads that are gone: give that memory back.
        malloc_trim(0);
    }
    cache_.clear();
    filmFailed_ = false;
    film_ = playerManager_.loadSerial();
    askedSlot_ = -1;
    rest_.stop();
    show({});
}
