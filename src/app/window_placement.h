#pragma once

#include <QElapsedTimer>
#include <QMargins>
#include <QObject>
#include <QRect>
#include <QSize>
#include <QSizeF>
#include <QTimer>

#include <functional>
#include <optional>

class QMainWindow;

// Where the main window goes and how large it is: the remembered frame at launch, the first
// show at the size of what plays, the fit to a video, the frame remembered after a fit.
//
// A window is placed by the desktop where it is first shown, at the size it has then; on
// Wayland a client can never move it afterwards. So the window is first shown already at the
// size of its content (a film's waits, briefly, for the film's size), and a window that must
// grow past what it was placed for is handed back to the desktop to be placed again.
class WindowPlacement : public QObject {
    Q_OBJECT
public:
    explicit WindowPlacement(QMainWindow &window, QObject *parent = nullptr);

    // Shows the window for the first time: at once, or, while a film is loading, once
    // fitToVideo() has sized it or waitForFilm() says to stop waiting, whichever comes first.
    // Until then the window stays hidden, so nothing half-laid-out is ever seen.
    void showFirstTime(bool waitForFilm, std::function<void()> shown);
    // A film that will not give its size (it failed, or something else plays now): the window
    // shows once the views have caught up.
    void stopWaitingForFilm();
    bool isWaitingForFilm() const { return firstShowDeadline_.isActive(); }
    bool hasShown() const { return hasShown_; }

    // The video's own size, shrunk to fit the usable area with room for the transport bar.
    void fitToVideo(QSizeF size);
    // Full screen begins: the size is the desktop's until it ends.
    void beginFullScreen();
    // Full screen has ended: the window is `windowed` again, or, when another film began
    // meanwhile, fitted to `film` as though it had been handed over to that window; then the
    // frame it is given comes back.
    std::optional<QRect> endFullScreen(QSize windowed, std::optional<QSizeF> film);
    // Stores the window's frame under "windowFrame". Where the desktop places windows only the
    // size is the window's; the position stays whatever an X11 session last stored.
    void saveFrame();
    // Gives the window `size` and, for a moment, asks again should the compositor answer with
    // another one (on Wayland, where answers may belong to an older request).
    void holdSize(QSize size);
    // The size given and still held, if any: what the window is about to be again.
    std::optional<QSize> heldSize() const;
    // Whether another size now would be asked away (for lateResizeMs after holdSize).
    bool holdsSize() const {
        return sizeHeldSince_.isValid() && sizeHeldSince_.elapsed() < lateResizeMs;
    }

    // Long enough for a film's first picture on a busy machine; short enough that a film
    // that never gives its size does not leave the user waiting long for the window.
    static constexpr int firstShowWaitMs = 2000;
    // How long a given size is held against other answers: a compositor on a busy machine was
    // seen to answer a second late; a user's own resize soon after is undone at most once.
    static constexpr qint64 lateResizeMs = 2000;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void show();
    void placeAtLaunch();
    void rememberDecorations();
    QRect fittedFrame(QSizeF size) const;
    void resizeFrom(QSize current, const QRect &fitted);
    void placeAgain(QSize size);
    void keepDialogsWithTheWindow();
    void reexposeNativeChildren();
    void reexposeOnceShown();

    QMainWindow &window_;
    QTimer firstShowDeadline_;
    std::function<void()> shown_;
    bool hasShown_ = false;
    bool fittedBeforeShow_ = false;
    QTimer reexposeCheck_;
    int reexposeTries_ = 0;
    static constexpr int reexposeCheckMs = 100;
    static constexpr int maxReexposeTries = 30;
    // The size Sonavel last gave the window, and since when it is held against late answers.
    QSize heldSize_;
    QElapsedTimer sizeHeldSince_;
    // What the desktop draws around the window when it is not in full screen (where it draws
    // nothing), as last seen.
    QMargins decorations_;
};
