#pragma once

#include <QString>

// Starts of Sonavel that find none running take turns. Only the start whose turn it is loads
// the player; the others wait until that player answers and then hand their files to it.
// Without this, a crowd of starts (a file manager opening twenty files at once) would each
// load a whole player only to hand its file over from there, which on a busy machine takes
// seconds each.
//
// The turn is an advisory lock on a file beside the single-instance lock. It is kept across
// exec() into the player, which ends it once it can answer; a player that dies ends it too.
class StartTurn {
public:
    // Waits up to `timeoutMs` for the turn in `folder`. Not held when the folder cannot be
    // used or the wait ran out: the start then goes on as if alone.
    StartTurn(const QString &folder, int timeoutMs);
    ~StartTurn();
    StartTurn(const StartTurn &) = delete;
    StartTurn &operator=(const StartTurn &) = delete;

    bool isHeld() const { return descriptor_ >= 0; }

    // Leaves the turn to the program this process becomes through exec(), which ends it with
    // endInherited().
    void keepAcrossExec();

    // In the player: ends the turn its launcher kept for it, if any. Anything in the
    // environment that does not name the turn's own file is left alone.
    static void endInherited(const QString &folder);

    static constexpr const char *environmentName = "SONAVEL_START_TURN_FD";

private:
    int descriptor_ = -1;
};
