#include "views/resume_offer.h"

#include "i18n/localization.h"
#include "playback/player_manager.h"
#include "views/accessibility.h"
#include "views/style.h"
#include "views/time_text.h"

#include <QApplication>
#include <QShowEvent>

#include <algorithm>

namespace {

// Between the offer and the picture's edges.
constexpr int margin = 16;

} // namespace

ResumeOffer::ResumeOffer(PlayerManager &playerManager, QWidget *parent, Placement placement)
    : QPushButton(parent), playerManager_(playerManager), area_(parent), placement_(placement) {
    if (placement_ == Placement::overPicture) {
        setObjectName(QStringLiteral("resumeOffer"));
        area_->installEventFilter(this);
    } else {
        setObjectName(QStringLiteral("resumeOfferInColumn"));
    }
    // Reached with Tab; a click leaves the window's keys (the arrows' volume and seeking) where
    // they were.
    setFocusPolicy(Qt::TabFocus);
    accessibility::pressByKeys(this);
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
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget *old, QWidget *now) {
        if (now == this)
            focusBefore_ = old;
    });
    hide();
}

void ResumeOffer::redraw() {
    const std::optional<double> &offer = playerManager_.resumeOffer();
    const bool forThisKind = playerManager_.isVideo() == (placement_ == Placement::overPicture);
    if (!offer || !forThisKind || !playerManager_.loadError().isEmpty()) {
        hide();
        return;
    }
    const QString text = L.get(u"continueFrom").arg(clockString(*offer));
    if (text != fullText_) {
        fullText_ = text;
        setAccessibleName(text);
        showText();
    }
    if (placement_ == Placement::overPicture)
        placeOverPicture();
    if (isHidden()) {
        show();
        raise();
    }
}

void ResumeOffer::showText() {
    setText(fullText_);
    if (placement_ == Placement::inColumn)
        return;
    // A picture narrower than the offer shows it shortened, never cut off at its edges.
    const int room = std::max(area_->width() - 2 * margin, 0);
    const int surplus = sizeHint().width() - room;
    if (surplus > 0)
        setText(fontMetrics().elidedText(
            fullText_, Qt::ElideRight,
            std::max(fontMetrics().horizontalAdvance(fullText_) - surplus, 0)));
}

void ResumeOffer::placeOverPicture() {
    const QRect picture = area_->rect();
    const QSize wanted = sizeHint().boundedTo(picture.size());
    const int left = std::min(margin, (picture.width() - wanted.width()) / 2);
    const int top = std::max(picture.height() - wanted.height() - margin, 0);
    setGeometry(QRect(QPoint(left, top), wanted) & picture);
}

bool ResumeOffer::eventFilter(QObject *watched, QEvent *event) {
    if (watched == area_ && event->type() == QEvent::Resize && !fullText_.isEmpty()) {
        showText();
        placeOverPicture();
    }
    return QPushButton::eventFilter(watched, event);
}

void ResumeOffer::showEvent(QShowEvent *event) {
    QPushButton::showEvent(event);
    // Said as a new song is, wherever the focus is, once it can be seen: the window may show
    // after the file is opened.
    if (!event->spontaneous())
        accessibility::say(this, fullText_);
}

void ResumeOffer::hideEvent(QHideEvent *event) {
    QPushButton::hideEvent(event);
    if (window()->focusWidget() != this)
        return;
    // Qt would hand the keys to the next control in the Tab order (the time slider, where the
    // arrows seek rather than change the volume): back to where they were instead.
    QWidget *before = focusBefore_;
    if (before && before->isVisible() && before->isEnabled() && before->window() == window())
        before->setFocus(Qt::OtherFocusReason);
    else
        clearFocus();
}
