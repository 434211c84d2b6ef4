#include "views/seek_slider.h"

#include <QProxyStyle>
#include <QWheelEvent>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

class SeekSliderStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override {
        if (hint == SH_Slider_AbsoluteSetButtons)
            return Qt::LeftButton;
        if (hint == SH_Slider_PageSetButtons)
            return Qt::NoButton;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

double sliderUnitsPerSecond(double duration) {
    constexpr double finest = 1000;
    if (!std::isfinite(duration) || duration * finest <= INT_MAX)
        return finest;
    return INT_MAX / duration;
}

SeekSlider::SeekSlider(QWidget *parent) : QSlider(Qt::Horizontal, parent) {
    auto *style = new SeekSliderStyle();
    style->setParent(this);
    setStyle(style);
    connect(this, &QSlider::valueChanged, this,
            [this](int value) { Q_EMIT seekRequested(value / unitsPerSecond_); });
    setDuration(0);
}

int SeekSlider::units(double seconds) const {
    if (!std::isfinite(seconds))
        return 0;
    return int(std::clamp(std::round(seconds * unitsPerSecond_), 0.0, double(INT_MAX)));
}

void SeekSlider::setDuration(double seconds) {
    const double duration = std::isfinite(seconds) ? std::max(seconds, 0.1) : 0.1;
    const QSignalBlocker blocker(this);
    unitsPerSecond_ = sliderUnitsPerSecond(duration);
    setRange(0, units(duration));
    setSingleStep(std::max(1, units(stepSeconds)));
    setPageStep(std::max(1, units(pageSeconds)));
}

void SeekSlider::setPosition(double seconds) {
    if (isSliderDown() || !std::isfinite(seconds))
        return;
    const QSignalBlocker blocker(this);
    setValue(units(seconds));
}

void SeekSlider::wheelEvent(QWheelEvent *event) {
    // One notch, one step: Qt would move several lines' worth per notch.
    wheelRemainder_ += event->angleDelta().y() + event->angleDelta().x();
    const int notches = wheelRemainder_ / QWheelEvent::DefaultDeltasPerStep;
    wheelRemainder_ %= QWheelEvent::DefaultDeltasPerStep;
    if (notches != 0)
        setValue(int(std::clamp<qint64>(qint64(value()) + qint64(notches) * singleStep(), minimum(),
                                        maximum())));
    event->accept();
}
