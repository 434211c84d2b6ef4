#pragma once

#include <QObject>
#include <QPointer>

// The application's own full screen, as the views reach it: through the one controller the
// application installs, and not at all when there is none.
class FullScreenController {
public:
    virtual bool isInCustomFullScreen() const = 0;
    virtual void exitCustomFullScreen() = 0;
    virtual void toggleCustomFullScreen() = 0;

    // The installed controller while its owner lives; nullptr otherwise.
    static FullScreenController *application();
    static void install(QObject *owner, FullScreenController *controller);

protected:
    ~FullScreenController() = default;
};
