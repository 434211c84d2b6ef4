#include "views/seek_slider.h"

#include "i18n/localization.h"
#include "views/accessibility.h"
#include "views/chapter_text.h"
#include "views/focus_ring_style.h"
#include "views/time_text.h"

#include <QAccessibleWidget>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScopedValueRollback>
#include <QStyleFactory>
#include <QStyleOptionSlider>
#include <QToolTip>
#include <QWheelEvent>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

class SeekSliderStyle : public FocusRingStyle {
public:
    using FocusRingStyle::FocusRingStyle;

    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override {
        if (hint == SH_Slider_AbsoluteSetButtons)
            return Qt::LeftButton;
        if (hint == SH_Slider_PageSetButtons)
            return Qt::NoButton;
        return FocusRingStyle::styleHint(hint, option, widget, returnData);
    }
};

// Read in seconds, with the time as the bar shows it ("1:23 of 4:56"), rather than in the
// slider's internal units.
class SeekSliderAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit SeekSliderAccessible(SeekSlider *slider)
        : QAccessibleWidget(slider, QAccessible::Slider) {}

    void *interface_cast(QAccessible::InterfaceType type) override {
        // Qt's bridge reports a value change only of an object that has a value.
        if (type == QAccessible::ValueInterface)
            return slider()->isMovingQuietly() ? nullptr
                                               : static_cast<QAccessibleValueInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Value || kind == QAccessible::Description)
            return slider()->placeText(slider()->positionUnits());
        return QAccessibleWidget::text(kind);
    }

    QVariant currentValue() const override { return seconds(slider()->positionUnits()); }
    QVariant maximumValue() const override { return seconds(slider()->maximum()); }
    QVariant minimumValue() const override { return 0.0; }
    QVariant minimumStepSize() const override { return SeekSlider::stepSeconds; }
    void setCurrentValue(const QVariant &value) override {
        const double wanted = value.toDouble();
        if (std::isfinite(wanted))
            slider()->setValue(int(std::clamp(std::round(wanted * slider()->unitsPerSecond()), 0.0,
                                              double(slider()->maximum()))));
    }

private:
    SeekSlider *slider() const { return static_cast<SeekSlider *>(widget()); }
    double seconds(int units) const { return units / slider()->unitsPerSecond(); }
};

QAccessibleInterface *seekSliderFactory(const QString &, QObject *object) {
    if (auto *slider = qobject_cast<SeekSlider *>(object))
        return new SeekSliderAccessible(slider);
    return nullptr;
}

} // namespace

double sliderUnitsPerSecond(double duration) {
    constexpr double finest = 1000;
    if (!std::isfinite(duration) || duration * finest <= INT_MAX)
        return finest;
    return INT_MAX / duration;
}

SeekSlider::SeekSlider(QWidget *parent) : QSlider(Qt::Horizontal, parent) {
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(seekSliderFactory);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    // Fusion, as the rest of the window, whatever the desktop would choose.
    auto *style = new SeekSliderStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    style->setParent(this);
    setStyle(style);
    // Keys move it once it is reached with Tab; a click leaves the window's keys where they were.
    setFocusPolicy(Qt::TabFocus);
    // Where the pointer is tells the time preview what to show.
    setMouseTracking(true);
    connect(this, &QSlider::valueChanged, this, [this](int value) {
        positionUnits_ = value;
        Q_EMIT seekRequested(value / unitsPerSecond_);
    });
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
    positionUnits_ = units(seconds);
    if (!(hasFocus() && QAccessible::isActive()))
        catchUp();
}

QString SeekSlider::placeText(int units) const {
    return L.get(u"timeOf").arg(timeString(units / unitsPerSecond_),
                                timeString(maximum() / unitsPerSecond_));
}

void SeekSlider::catchUp() {
    const QSignalBlocker blocker(this);
    const QScopedValueRollback quiet(movingQuietly_, true);
    setValue(positionUnits_);
}

template <typename Move> void SeekSlider::moveAndSay(Move move) {
    catchUp();
    const int before = value();
    {
        const QScopedValueRollback quiet(movingQuietly_, true);
        move();
    }
    if (value() != before)
        accessibility::say(this, placeText(value()));
}

void SeekSlider::keyPressEvent(QKeyEvent *event) {
    moveAndSay([&] { QSlider::keyPressEvent(event); });
}

void SeekSlider::focusOutEvent(QFocusEvent *event) {
    QSlider::focusOutEvent(event);
    // Once the focus has moved on: a reader still on the slider would read the jump aloud.
    QMetaObject::invokeMethod(this, &SeekSlider::catchUp, Qt::QueuedConnection);
}

void SeekSlider::wheelEvent(QWheelEvent *event) {
    // One notch, one step: Qt would move several lines' worth per notch.
    wheelRemainder_ += event->angleDelta().y() + event->angleDelta().x();
    const int notches = wheelRemainder_ / QWheelEvent::DefaultDeltasPerStep;
    wheelRemainder_ %= QWheelEvent::DefaultDeltasPerStep;
    moveAndSay([&] {
        if (notches != 0)
            setValue(int(std::clamp<qint64>(qint64(value()) + qint64(notches) * singleStep(),
                                            minimum(), maximum())));
    });
    event->accept();
}

void SeekSlider::setChapters(const QList<Chapter> &chapters) {
    if (chapters == chapters_)
        return;
    chapters_ = chapters;
    update();
}

int SeekSlider::xOf(int units) const {
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect groove =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
    const QRect handle =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    return groove.x() + handle.width() / 2 +
           QStyle::sliderPositionFromValue(minimum(), maximum(), units,
                                           groove.width() - handle.width());
}

void SeekSlider::paintEvent(QPaintEvent *event) {
    QSlider::paintEvent(event);
    if (chapters_.isEmpty())
        return;
    // A short tick above and below the groove at each chapter's start (the first starts the
    // film and needs none).
    QPainter painter(this);
    painter.setPen(QPen(palette().color(QPalette::WindowText), 1));
    const int middle = height() / 2;
    int lastX = -1;
    for (qsizetype i = 0; i < chapters_.size(); ++i) {
        if (chapters_.at(i).start <= 0)
            continue;
        const int x = xOf(units(chapters_.at(i).start));
        // Hundreds of chapters draw each pixel once.
        if (x == lastX)
            continue;
        lastX = x;
        painter.drawLine(x, middle - 6, x, middle - 3);
        painter.drawLine(x, middle + 3, x, middle + 6);
    }
}

QString SeekSlider::chapterTipAt(int x) const {
    const double seconds = secondsAt(x);
    const qsizetype index = chapters::indexAt(chapters_, seconds);
    return index >= 0 ? QStringLiteral("%1 \u2013 %2")
                            .arg(timeString(seconds), chapterText(chapters_, index))
                      : QString();
}

bool SeekSlider::event(QEvent *event) {
    if (event->type() == QEvent::ToolTip && !chapters_.isEmpty()) {
        const auto *help = static_cast<QHelpEvent *>(event);
        const QString tip = chapterTipAt(help->pos().x());
        if (!tip.isEmpty())
            QToolTip::showText(help->globalPos(), tip, this);
        else
            QToolTip::hideText();
        return true;
    }
    return QSlider::event(event);
}

double SeekSlider::secondsAt(int x) const {
    // The arithmetic of Qt's own click on the track, so the preview shows where a click goes.
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect groove =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
    const QRect handle =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    const int handleMiddle = handle.center().x() - handle.left();
    const int span = groove.right() - handle.width() + 1 - groove.x();
    const int value = QStyle::sliderValueFromPosition(
        minimum(), maximum(), x - handleMiddle - groove.x(), span, option.upsideDown);
    return value / unitsPerSecond_;
}

void SeekSlider::mouseMoveEvent(QMouseEvent *event) {
    QSlider::mouseMoveEvent(event);
    Q_EMIT placePointed(secondsAt(int(event->position().x())), event->globalPosition().toPoint());
}

void SeekSlider::leaveEvent(QEvent *event) {
    QSlider::leaveEvent(event);
    Q_EMIT placeLeft();
}

void SeekSlider::hideEvent(QHideEvent *event) {
    QSlider::hideEvent(event);
    Q_EMIT placeLeft();
}
