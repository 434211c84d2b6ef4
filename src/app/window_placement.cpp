#include "app/window_placement.h"

#include "app/window_fitting.h"
#include "app/window_frame_text.h"
#include "desktop/preferences.h"
#include "desktop/window_system.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>
#include <QStyle>
#include <QWindow>

#include <algorithm>

namespace {

const QString windowFrameKey = QStringLiteral("windowFrame");

QList<QRect> usableAreas() {
    QList<QRect> areas;
    for (const QScreen *screen : QGuiApplication::screens())
        areas.append(screen->availableGeometry());
    return areas;
}

QRect centredOn(const QScreen &screen, QSize size) {
    return QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size, screen.availableGeometry());
}

std::optional<QRectF> storedFrame() {
    return window_frame_text::fromString(preferences::value(windowFrameKey).toString());
}

} // namespace

WindowPlacement::WindowPlacement(QMainWindow &window, QObject *parent)
    : QObject(parent), window_(window), firstShowDeadline_(this), reexposeCheck_(this) {
    firstShowDeadline_.setSingleShot(true);
    connect(&firstShowDeadline_, &QTimer::timeout, this, &WindowPlacement::show);
    window_.installEventFilter(this);
    reexposeCheck_.setInterval(reexposeCheckMs);
    connect(&reexposeCheck_, &QTimer::timeout, this, &WindowPlacement::reexposeNativeChildren);
}

void WindowPlacement::showFirstTime(bool waitForFilm, std::function<void()> shown) {
    if (hasShown_)
        return;
    shown_ = std::move(shown);
    if (waitForFilm)
        firstShowDeadline_.start(firstShowWaitMs);
    else
        show();
}

void WindowPlacement::stopWaitingForFilm() {
    // On the next turn, when the views have caught up with what now plays.
    if (isWaitingForFilm())
        firstShowDeadline_.start(0);
}

void WindowPlacement::show() {
    firstShowDeadline_.stop();
    if (hasShown_)
        return;
    hasShown_ = true;
    // Shown meanwhile by a hand-over bringing it forward, it is placed already.
    const bool placed = window_.isVisible();
    if (!placed && !fittedBeforeShow_)
        placeAtLaunch();
    else if (!placed && window_system::desktopPlacesWindows())
        // The compositor's first answers count from the show, not from the fit.
        sizeHeldSince_.start();
    window_.show();
    if (window_system::desktopPlacesWindows())
        reexposeOnceShown();
    if (!heldSize_.isValid())
        heldSize_ = window_.size();
    if (shown_)
        std::exchange(shown_, nullptr)();
}

void WindowPlacement::placeAtLaunch() {
    // The content's least size (the audio view's, say) counts now rather than at the show,
    // so the window is placed at the size it is shown at.
    const QSize minimum = window_.minimumSizeHint().expandedTo(window_.minimumSize());
    const std::optional<QRectF> stored = storedFrame();
    if (window_system::desktopPlacesWindows()) {
        // The size alone, no larger than the screen's; the desktop chooses where it goes.
        const QScreen *screen = QGuiApplication::primaryScreen();
        if (stored && screen) {
            const QRect area = screen->availableGeometry();
            const QSizeF size = stored->size().expandedTo(minimum);
            if (const std::optional<QRect> frame =
                    placeStoredFrame(QRectF(area.topLeft(), size), {area}))
                window_.resize(frame->size());
        }
        return;
    }
    // Only a frame that fits sensibly on a screen is used, moved and shrunk onto it if need be.
    if (stored) {
        const QRectF wanted(stored->topLeft(), stored->size().expandedTo(minimum));
        if (const std::optional<QRect> frame = placeStoredFrame(wanted, usableAreas())) {
            window_.setGeometry(*frame);
            return;
        }
    }
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        window_.setGeometry(centredOn(*screen, window_.size().expandedTo(minimum)));
}

QRect WindowPlacement::fittedFrame(QSizeF size) const {
    QScreen *screen = window_.screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return window_.geometry();
    // The menu bar sits in the window here, above the content: the video gets the room the
    // fit gives it, and the window is that much taller. (Not yet visible before the first show.)
    const QWidget *menuBar = window_.menuWidget();
    const int menuHeight = menuBar && !menuBar->isHidden() ? menuBar->sizeHint().height() : 0;
    // Fit the client area within the usable area less the window manager's decorations, so
    // that the title bar stays on screen too.
    const QRectF usable =
        screen->availableGeometry().marginsRemoved(decorations_).adjusted(0, menuHeight, 0, 0);
    return fitWindowFrame(size, usable).toRect().adjusted(0, -menuHeight, 0, 0);
}

void WindowPlacement::rememberDecorations() {
    const QRect client = window_.geometry();
    const QRect outer = window_.frameGeometry();
    decorations_ = QMargins(client.left() - outer.left(), client.top() - outer.top(),
                            outer.right() - client.right(), outer.bottom() - client.bottom());
}

void WindowPlacement::fitToVideo(QSizeF size) {
    if (!window_.isFullScreen())
        rememberDecorations();
    if (!window_.isVisible())
        fittedBeforeShow_ = true;
    resizeFrom(window_.size(), fittedFrame(size));
    saveFrame();
    if (isWaitingForFilm())
        show();
}

void WindowPlacement::resizeFrom(QSize current, const QRect &fitted) {
    if (!window_system::desktopPlacesWindows())
        window_.setGeometry(fitted);
    else if (window_.isVisible() && window_.windowState() == Qt::WindowNoState &&
             windowGrows(current, fitted.size()))
        placeAgain(fitted.size());
    else
        holdSize(fitted.size());
}

void WindowPlacement::beginFullScreen() {
    // The frame the desktop draws now is the one a window fitted after full screen gets.
    rememberDecorations();
    sizeHeldSince_.invalidate();
}

std::optional<QRect> WindowPlacement::endFullScreen(QSize windowed, std::optional<QSizeF> film) {
    const std::optional<QRect> fitted = film ? std::optional(fittedFrame(*film)) : std::nullopt;
    const QSize size = fitted ? fitted->size() : windowed;
    if (!window_system::desktopPlacesWindows()) {
        if (fitted)
            window_.setGeometry(*fitted);
    } else if (window_.isVisible() &&
               (windowGrows(windowed, size) || !window_system::desktopRaisesOnRequest())) {
        // Grown past the window the desktop knew before full screen, it is placed anew; and
        // where the desktop restacks a window only as it is shown, it would otherwise stay in
        // the full screen's layer, above the panel and every other window.
        placeAgain(size);
    } else {
        // The compositor's answer to leaving may come with another size than the one given.
        holdSize(size);
    }
    if (fitted)
        saveFrame();
    return fitted;
}

void WindowPlacement::placeAgain(QSize size) {
    // Grown from where the desktop placed it, the window could reach past the output, and a
    // Wayland client cannot move it back: shown anew, it is placed anew, whole.
    window_.hide();
    holdSize(size);
    window_.show();
    keepDialogsWithTheWindow();
    reexposeOnceShown();
}

void WindowPlacement::keepDialogsWithTheWindow() {
    // The desktop forgets a dialog's parent when the parent's window goes: told again, it keeps
    // the dialog above the window it belongs to (and a modal one where the user can answer it).
    for (QWidget *child : window_.findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (child->isWindow() && child->isVisible())
            window_system::setParentWindow(*child, window_);
    }
}

void WindowPlacement::reexposeOnceShown() {
    reexposeTries_ = 0;
    reexposeCheck_.start();
}

void WindowPlacement::reexposeNativeChildren() {
    // Qt 6.4's Wayland shell does not always expose a child window (the video's surface) that
    // is shown together with its top-level: it stays blank until its container is shown again
    // on its own, which may take more than one go. Looked at until all are exposed, a while.
    const QWindow *handle = window_.windowHandle();
    if (!handle || !window_.isVisible() || ++reexposeTries_ > maxReexposeTries) {
        reexposeCheck_.stop();
        return;
    }
    if (!handle->isExposed())
        return;
    const QList<QWindow *> surfaces = handle->findChildren<QWindow *>(Qt::FindDirectChildrenOnly);
    const bool blank = std::any_of(surfaces.begin(), surfaces.end(), [](const QWindow *surface) {
        return surface->isVisible() && !surface->isExposed();
    });
    if (!blank) {
        reexposeCheck_.stop();
        return;
    }
    for (QWidget *child : window_.findChildren<QWidget *>()) {
        if (child->inherits("QWindowContainer") && !child->isHidden()) {
            child->hide();
            child->show();
        }
    }
}

std::optional<QSize> WindowPlacement::heldSize() const {
    if (sizeHeldSince_.isValid() && sizeHeldSince_.elapsed() < lateResizeMs)
        return heldSize_;
    return std::nullopt;
}

void WindowPlacement::holdSize(QSize size) {
    heldSize_ = size;
    sizeHeldSince_.start();
    window_.resize(size);
}

void WindowPlacement::saveFrame() {
    QRect frame = window_.geometry();
    if (window_system::desktopPlacesWindows()) {
        const std::optional<QRectF> stored = storedFrame();
        if (stored)
            frame.moveTopLeft(stored->topLeft().toPoint());
        else if (const QScreen *screen = QGuiApplication::primaryScreen())
            frame = centredOn(*screen, frame.size());
    }
    preferences::setValue(windowFrameKey, window_frame_text::toString(frame));
}

bool WindowPlacement::eventFilter(QObject *watched, QEvent *event) {
    // A compositor may answer an older request with another size just after a fit or after
    // leaving full screen (mutter does on first showing the window, weston on leaving): the
    // size is asked for again, for a short while only, so as never to fight the desktop.
    if (watched == &window_ && event->type() == QEvent::Resize && holdsSize() &&
        window_.size() != heldSize_ && window_.windowState() == Qt::WindowNoState) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (heldSize())
                    window_.resize(heldSize_);
            },
            Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
}
