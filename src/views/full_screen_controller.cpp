#include "views/full_screen_controller.h"

namespace {

QPointer<QObject> &installedOwner() {
    static QPointer<QObject> owner;
    return owner;
}

FullScreenController *installedController = nullptr;

} // namespace

FullScreenController *FullScreenController::application() {
    return installedOwner() ? installedController : nullptr;
}

void FullScreenController::install(QObject *owner, FullScreenController *controller) {
    installedOwner() = owner;
    installedController = controller;
}
