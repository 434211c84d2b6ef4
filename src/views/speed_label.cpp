#include "views/speed_label.h"

#include "i18n/localization.h"
#include "playback/playback_speed.h"
#include "playback/player_manager.h"
#include "views/accessibility.h"
#include "views/style.h"
#include "views/time_text.h"

SpeedLabel::SpeedLabel(PlayerManager &playerManager, QWidget *parent)
    : QToolButton(parent), playerManager_(playerManager) {
    setObjectName(QStringLiteral("speedLabel"));
    setAutoRaise(true);
    setFont(style::font(TextStyle::caption2));
    setFocusPolicy(Qt::TabFocus);
    accessibility::pressByKeys(this);
    setAccessibleDescription(L.get(u"speedClick"));
    connect(this, &QToolButton::clicked, this, [this] {
        playerManager_.setSpeed(playback_speed::normal);
        accessibility::say(this, L.get(u"normalSpeed"));
    });
    redraw();
}

void SpeedLabel::redraw() {
    const double speed = playerManager_.speed();
    const bool shown = playerManager_.player() && speed != playback_speed::normal;
    setVisible(shown);
    if (!shown)
        return;
    const QString text = playback_speed::text(speed);
    if (this->text() != text) {
        setText(text);
        setAccessibleName(L.get(u"speedLevel").arg(text));
    }
    const double left = playback_speed::clockSeconds(
        playerManager_.duration() - playerManager_.currentTime(), speed);
    // The time left changes each second: in the tooltip, not in what a reader reads aloud.
    setToolTip(L.get(u"speedTip").arg(timeString(left), text));
}
