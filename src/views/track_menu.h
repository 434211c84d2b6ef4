#pragma once

#include "playback/media_player.h"

#include <QMenu>

class PlayerManager;

// The video's context menu: "Subtitles" (off, each track, a file to add) and, when a film has
// more than one, "Audio", the tracks playing marked. Built from the player manager when opened.
class TrackMenu : public QMenu {
    Q_OBJECT
public:
    TrackMenu(PlayerManager &playerManager, QWidget *parent = nullptr);

    // "日本語 — Commentary": the track's language in its own words and its title, or its number.
    static QString trackText(const MediaTrack &track, int number);

    // Fills `menu` with the choices of one kind as they are now (the menu bar's menus too).
    // A choice is said to a screen reader in `window`, where a panel to add a file opens.
    static void addChoices(QMenu *menu, MediaTrack::Kind kind, PlayerManager &playerManager,
                           QWidget *window);

    // Opens the menu at `globalPosition` with its first item current, so that a reader says
    // where the keys are.
    void openAt(QPoint globalPosition);
};
