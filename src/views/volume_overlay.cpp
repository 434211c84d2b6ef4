#include "views/volume_overlay.h"

#include "i18n/localization.h"
#include "views/accessibility.h"
#include "views/style.h"
#include "views/video_player_view.h"

#include <QCoreApplication>
#include <QWheelEvent>
#include <QWindow>

#include <cmath>

VolumeOverlay::VolumeOverlay(QWidget *area)
    : QLabel(area, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus |
                       Qt::WindowTransparentForInput),
      area_(area) {
    setObjectName(QStringLiteral("volumeOverlay"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    accessibility::setRole(this, QAccessible::Notification);
    setAlignment(Qt::AlignCenter);
    setFont(style::font(TextStyle::title3));
    setStyleSheet(QStringLiteral("#volumeOverlay { background: rgb(28, 28, 30); color: white; "
                                 "border: 1px solid rgb(72, 72, 74); padding: 10px 18px; }"));
    shown_.setSingleShot(true);
    shown_.setInterval(shownMs);
    connect(&shown_, &QTimer::timeout, this, &QWidget::hide);
    hide();
}

void VolumeOverlay::showLevel(double volume, bool muted) {
    showText(muted ? L.get(u"muted") : L.get(u"volumeLevel").arg(int(std::lround(volume * 100))));
}

void VolumeOverlay::showText(const QString &text, int milliseconds) {
    setText(text);
    adjustSize();
    // Upper middle of the content: over the picture or the song, clear of the transport bar.
    move(area_->mapToGlobal(QPoint((area_->width() - width()) / 2, area_->height() / 5)));
    show();
    raise();
    shown_.start(milliseconds);
    // Heard as well as seen, each step anew, without the focus moving here.
    accessibility::announce(this);
}

bool VolumeOverlay::event(QEvent *event) {
    switch (event->type()) {
    case QEvent::Wheel:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
        // Not every window system lets input through a window asked to be transparent to it
        // (X11 gave the wheel to the overlay lying under the pointer).
        passOn(*static_cast<QSinglePointEvent *>(event));
        return true;
    default:
        return QLabel::event(event);
    }
}

void VolumeOverlay::passOn(const QSinglePointEvent &event) {
    const QPointF global = event.globalPosition();
    QWidget *below = area_->childAt(area_->mapFromGlobal(global).toPoint());
    if (!below)
        return;
    // The picture is a window of its own inside the video view.
    QObject *target = below;
    QPointF local = below->mapFromGlobal(global);
    for (QWidget *widget = below; widget; widget = widget->parentWidget()) {
        if (auto *video = qobject_cast<VideoPlayerView *>(widget)) {
            if (QWindow *surface = video->surface()) {
                target = surface;
                local = surface->mapFromGlobal(global);
            }
            break;
        }
    }
    if (event.type() == QEvent::Wheel) {
        const auto &wheel = static_cast<const QWheelEvent &>(event);
        QWheelEvent passed(local, global, wheel.pixelDelta(), wheel.angleDelta(), wheel.buttons(),
                           wheel.modifiers(), wheel.phase(), wheel.inverted(), wheel.source());
        QCoreApplication::sendEvent(target, &passed);
        return;
    }
    const auto &mouse = static_cast<const QMouseEvent &>(event);
    QMouseEvent passed(mouse.type(), local, global, mouse.button(), mouse.buttons(),
                       mouse.modifiers());
    QCoreApplication::sendEvent(target, &passed);
}
