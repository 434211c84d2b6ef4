#include "views/content_view.h"

#include "playback/player_manager.h"

ContentView::ContentView(PlayerManager &playerManager, QWidget *parent)
    : QWidget(parent), playerManager_(playerManager) {
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Window);
}
