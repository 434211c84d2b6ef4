#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>

#include <functional>
#include <optional>

class QDBusPendingCallWatcher;

// One inhibition asked of a desktop service over D-Bus, let go of exactly once. Released
// before the service answered, it lets go of what the answer names as soon as it arrives, so
// no cookie or request is ever left behind; meanwhile it belongs to the application, not to
// whoever asked for it.
class BusHold : public QObject {
    Q_OBJECT
public:
    // The call that lets go of what the service's answer to the inhibit call names.
    using Release = std::function<QDBusMessage(const QDBusMessage &answer)>;

    // Sends `inhibit` at once, without waiting for the answer.
    BusHold(QDBusConnection bus, const QDBusMessage &inhibit, Release release,
            QObject *parent = nullptr);
    ~BusHold() override;

    // Lets go now, or once the answer arrives; no signal comes after this.
    void release();

Q_SIGNALS:
    void held();
    // The service is not there or said no; the hold then deletes itself.
    void refused();

private:
    void answered(QDBusPendingCallWatcher *watcher);
    void letGo();

    QDBusConnection bus_;
    Release release_;
    std::optional<QDBusMessage> answer_;
    bool released_ = false;
};
