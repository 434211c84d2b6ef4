#pragma once

#include <functional>

class Localization;
class QMainWindow;

// What the main menu's items do.
struct MainMenuActions {
    std::function<void()> quit;
    std::function<void()> openFile;
    std::function<void()> close;
    std::function<void()> toggleFullScreen;
};

// Builds the window's menu bar once: the application menu (Quit), File (Open..., Close) and
// View (Enter Full Screen), titled in the given language. The actions also belong to the
// window, so their shortcuts work while the menu bar is hidden in full screen.
void buildMainMenu(QMainWindow &window, const Localization &localization,
                   const MainMenuActions &actions);
