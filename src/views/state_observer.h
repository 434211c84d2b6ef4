#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

class PlayerManager;

// Redraws a view once after the player manager's published state changed. The change signal
// comes before each assignment, and many assignments come together, so the redraw waits for
// the next turn of the event loop, when every new value is in place.
class StateObserver : public QObject {
    Q_OBJECT
public:
    StateObserver(PlayerManager &playerManager, QObject *parent, std::function<void()> redraw);

private:
    QTimer pending_;
};
