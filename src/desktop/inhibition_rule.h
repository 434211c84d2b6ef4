#pragma once

// What the desktop is asked to hold off while Sonavel plays.
enum class Inhibition {
    none,
    // The session must not suspend (the screen may dim and lock): music plays on.
    suspend,
    // The screen must stay on and unlocked: someone is watching.
    idle,
};

// The playback facts the choice rests on.
struct PlaybackFacts {
    bool loaded = false;
    bool playing = false;
    bool video = false;
    bool failed = false;
};

// A film playing keeps the screen awake; a song playing keeps the session from suspending;
// anything paused, stopped, ended, failed or not loaded asks for nothing.
Inhibition inhibitionFor(const PlaybackFacts &facts);
