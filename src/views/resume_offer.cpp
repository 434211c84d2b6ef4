#include "views/resume_offer.h"

#include "i18n/localization.h"
#include "playback/player_manager.h"
#include "views/style.h"
#include "views/time_text.h"

#include <QAccessible>

ResumeOffer::ResumeOffer(PlayerManager &playerManager, QWidget *parent, Placement placement,
                         std::function<int()> reservedHeight)
    : QPushButton(parent), playerManager_(playerManager), area_(parent), placement_(placement),
      reservedHeight_(std::move(reservedHeight)) {
    if (placement_ == Placement::overPicture) {
        setObjectName(QStringLiteral("resumeOffer"));
        setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus);
        setAttribute(Qt::WA_ShowWithoutActivating);
        setFocusPolicy(Qt::NoFocus);
    } else {
        setObjectName(QStringLiteral("resumeOfferInColumn"));
        setFocusPolicy(Qt::StrongFocus);
    }
    setCursor(Qt::PointingHandCursor);
    setFont(style::font(TextStyle::headline));
    setStyleSheet(
        QStringLiteral("#%1 { background: rgb(28, 28, 30); color: white; "
                       "border: 1px solid rgb(72, 72, 74); padding: 8px 16px; outline: none; }"
                       "#%1:hover { background: rgb(44, 44, 46); }"
                       "#%1:pressed { background: rgb(58, 58, 60); }"
                       "#%1:focus { border: 2px solid rgb(10, 132, 255); }")
            .arg(objectName()));
    connect(this, &QPushButton::clicked, &playerManager_, &PlayerManager::takeResumeOffer);
    hide();
}

void ResumeOffer::redraw() {
    const std::optional<double> &offer = playerManager_.resumeOffer();
    const bool forThisKind = playerManager_.isVideo() == (placement_ == Placement::overPicture);
    if (!offer || !forThisKind || !playerManager_.loadError().isEmpty() ||
        (placement_ == Placement::overPicture && !area_->isVisible())) {
        hide();
        return;
    }
    const QString text = L.get(u"continueFrom").arg(clockString(*offer));
    if (text != this->text()) {
        setText(text);
        setAccessibleName(text);
        adjustSize();
    }
    if (placement_ == Placement::overPicture)
        placeOverPicture();
    if (!isVisible()) {
        show();
        raise();
        // Said once by a screen reader, without taking the focus from where it is.
        QAccessibleEvent shown(this, QAccessible::Alert);
        QAccessible::updateAccessibility(&shown);
    }
}

void ResumeOffer::placeOverPicture() {
    constexpr int margin = 16;
    // Centred over an area too narrow for it, rather than hanging off one side.
    const int left =
        width() + 2 * margin <= area_->width() ? margin : (area_->width() - width()) / 2;
    const QPoint corner(left, area_->height() - reservedHeight_() - height() - margin);
    move(area_->mapToGlobal(corner));
}
