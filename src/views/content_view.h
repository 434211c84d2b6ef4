#pragma once

#include <QWidget>

class PlayerManager;

// The window's content: what is shown depends on the playback state.
class ContentView : public QWidget {
    Q_OBJECT
public:
    explicit ContentView(PlayerManager &playerManager, QWidget *parent = nullptr);

private:
    PlayerManager &playerManager_;
};
