#include "views/resume_offer.h"

#include "i18n/localization.h"
#include "playback/player_manager.h"
#include "views/style.h"
#include "views/time_text.h"

#include <QAccessible>

ResumeOffer::ResumeOffer(PlayerManager &playerManager, QWidget *area,
                         std::function<int()> reservedHeight)
    : QPushButton(area), playerManager_(playerManager), area_(area),
      reservedHeight_(std::move(reservedHeight)) {
    setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus);
    setObjectName(QStringLiteral("resumeOffer"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
    setFont(style::font(TextStyle::headline));
    setStyleSheet(QStringLiteral("#resumeOffer { background: rgb(28, 28, 30); color: white; "
                                 "border: 1px solid rgb(72, 72, 74); padding: 8px 16px; }"
                                 "#resumeOffer:hover { background: rgb(44, 44, 46); }"
                                 "#resumeOffer:pressed { background: rgb(58, 58, 60); }"));
    connect(this, &QPushButton::clicked, &playerManager_, &PlayerManager::takeResumeOffer);
    hide();
}

void ResumeOffer::redraw() {
    const std::optional<double> &offer = playerManager_.resumeOffer();
    if (!offer || !area_->isVisible()) {
        hide();
        return;
    }
    const QString text = L.get(u"continueFrom").arg(clockString(*offer));
    if (text != this->text()) {
        setText(text);
        setAccessibleName(text);
        adjustSize();
    }
    constexpr int margin = 16;
    // Centred over an area too narrow for it, rather than hanging off one side.
    const int left =
        width() + 2 * margin <= area_->width() ? margin : (area_->width() - width()) / 2;
    const QPoint corner(left, area_->height() - reservedHeight_() - height() - margin);
    move(area_->mapToGlobal(corner));
    if (!isVisible()) {
        show();
        raise();
        // Said once by a screen reader, without taking the focus from where it is.
        QAccessibleEvent shown(this, QAccessible::Alert);
        QAccessible::updateAccessibility(&shown);
    }
}
