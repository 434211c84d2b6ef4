#include "views/state_observer.h"

#include "playback/player_manager.h"

StateObserver::StateObserver(PlayerManager &playerManager, QObject *parent,
                             std::function<void()> redraw)
    : QObject(parent) {
    pending_.setSingleShot(true);
    pending_.setInterval(0);
    connect(&pending_, &QTimer::timeout, this, std::move(redraw));
    connect(&playerManager, &PlayerManager::objectWillChange, this, [this] {
        if (!pending_.isActive())
            pending_.start();
    });
}
