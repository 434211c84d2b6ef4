#include "views/volume_overlay.h"

#include "i18n/localization.h"
#include "views/style.h"

#include <cmath>

VolumeOverlay::VolumeOverlay(QWidget *area)
    : QLabel(area, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus |
                       Qt::WindowTransparentForInput),
      area_(area) {
    setObjectName(QStringLiteral("volumeOverlay"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
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
    setText(muted ? L.get(u"muted") : L.get(u"volumeLevel").arg(int(std::lround(volume * 100))));
    adjustSize();
    // Upper middle of the content: over the picture or the song, clear of the transport bar.
    move(area_->mapToGlobal(QPoint((area_->width() - width()) / 2, area_->height() / 5)));
    show();
    raise();
    shown_.start();
}
