#include "views/accessibility.h"

#include "i18n/localization.h"

#include <QAbstractButton>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QLabel>

namespace accessibility {
namespace {

const char *const roleProperty = "sonavelAccessibleRole";
const char *const decorativeProperty = "sonavelDecorative";
const char *const toggleProperty = "sonavelToggled";

// A widget read with the role it was given; a label says its text, and a decoration is not
// shown to the tool at all.
class RoleAccessible : public QAccessibleWidget {
public:
    explicit RoleAccessible(QWidget *widget)
        : QAccessibleWidget(widget, QAccessible::Role(widget->property(roleProperty).toInt())) {}

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Name && widget()->accessibleName().isEmpty())
            if (const auto *label = qobject_cast<const QLabel *>(widget()))
                return label->text();
        return QAccessibleWidget::text(kind);
    }

    QAccessible::State state() const override {
        QAccessible::State result = QAccessibleWidget::state();
        if (widget()->property(decorativeProperty).toBool())
            result.invisible = true;
        return result;
    }
};

// A button that says whether it is pressed rather than changing its name; pressed as any button.
class ToggleAccessible : public QAccessibleWidget {
public:
    explicit ToggleAccessible(QAbstractButton *button)
        : QAccessibleWidget(button, QAccessible::Button) {}

    QAccessible::State state() const override {
        QAccessible::State result = QAccessibleWidget::state();
        result.checkable = true;
        result.checked = widget()->property(toggleProperty).toBool();
        return result;
    }

    QStringList actionNames() const override {
        return QStringList{pressAction(), toggleAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString &actionName) override {
        if (actionName == pressAction() || actionName == toggleAction())
            static_cast<QAbstractButton *>(widget())->click();
        else
            QAccessibleWidget::doAction(actionName);
    }
};

QAccessibleInterface *roleFactory(const QString &, QObject *object) {
    auto *widget = qobject_cast<QWidget *>(object);
    if (!widget)
        return nullptr;
    if (widget->property(roleProperty).isValid())
        return new RoleAccessible(widget);
    if (auto *button = qobject_cast<QAbstractButton *>(widget);
        button && button->property(toggleProperty).isValid())
        return new ToggleAccessible(button);
    return nullptr;
}

void installFactory() {
    static const bool installed = [] {
        QAccessible::installFactory(roleFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

class ButtonKeys : public QObject {
public:
    using QObject::QObject;

    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() != QEvent::KeyPress)
            return false;
        auto *key = static_cast<QKeyEvent *>(event);
        switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            static_cast<QAbstractButton *>(watched)->animateClick();
            return true;
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Up:
        case Qt::Key_Down:
            // Seeking and the volume, as everywhere in the window; Tab moves between buttons.
            key->ignore();
            return true;
        default:
            return false;
        }
    }
};

} // namespace

void setRole(QWidget *widget, QAccessible::Role role) {
    installFactory();
    widget->setProperty(roleProperty, int(role));
}

void setDecorative(QWidget *widget, bool decorative) {
    if (!widget->property(roleProperty).isValid())
        setRole(widget, QAccessible::Graphic);
    widget->setProperty(decorativeProperty, decorative);
}

void setToggle(QAbstractButton *button, bool pressed) {
    installFactory();
    const QVariant was = button->property(toggleProperty);
    button->setProperty(toggleProperty, pressed);
    if (!was.isValid() || was.toBool() == pressed || !QAccessible::isActive())
        return;
    QAccessible::State changed;
    changed.checked = true;
    QAccessibleStateChangeEvent event(button, changed);
    QAccessible::updateAccessibility(&event);
}

void announce(QWidget *widget) {
    if (!QAccessible::isActive() || !widget->isVisible())
        return;
    QAccessibleEvent shown(widget, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
}

void say(QWidget *context, const QString &text) {
    if (!QAccessible::isActive() || text.isEmpty())
        return;
    QWidget *window = context->window();
    const QString speakerName = QStringLiteral("announcement");
    auto *speaker = window->findChild<QWidget *>(speakerName, Qt::FindDirectChildrenOnly);
    if (!speaker) {
        // Never drawn: it is there only to be heard.
        speaker = new QWidget(window);
        speaker->setObjectName(speakerName);
        speaker->hide();
        setRole(speaker, QAccessible::Notification);
    }
    speaker->setAccessibleName(text);
    QAccessibleEvent shown(speaker, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
}

QString playState(bool isPlaying) {
    return isPlaying ? L.get(u"playingNow") : L.get(u"pausedNow");
}

void pressByKeys(QAbstractButton *button) {
    button->installEventFilter(new ButtonKeys(button));
}

} // namespace accessibility
