#pragma once

#include "playback/media_player.h"

#include <functional>

class Localization;
class QMainWindow;
class QMenu;

// What the main menu's items do.
struct MainMenuActions {
    std::function<void()> quit;
    std::function<void()> openFile;
    std::function<void()> close;
    std::function<void()> toggleFullScreen;
    std::function<void(bool)> setHardwareDecoding;
    bool hardwareDecoding = true;
    std::function<void()> showMediaInformation;
    // Fills the Subtitles or Audio menu with the choices of the moment, as it opens.
    std::function<void(QMenu &, MediaTrack::Kind)> fillTracks;
    // Shown after View, when given (the window owns it).
    QMenu *playbackMenu = nullptr;
};

// Builds the window's menu bar once: the application menu (Quit), File (Open..., Close),
// View (Enter Full Screen, Hardware Decoding, Media Information...), Playback, Subtitles and Audio
// (the film's tracks; disabled until one plays), titled in the given language. The actions also
// belong to the window, so their shortcuts work while the menu bar is hidden in full screen.
void buildMainMenu(QMainWindow &window, const Localization &localization,
                   const MainMenuActions &actions);
