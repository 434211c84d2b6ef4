#include "desktop/bus_hold.h"

#include <QCoreApplication>
#include <QDBusPendingCallWatcher>

BusHold::BusHold(QDBusConnection bus, const QDBusMessage &inhibit, Release release, QObject *parent)
    : QObject(parent), bus_(std::move(bus)), release_(std::move(release)) {
    auto *watcher = new QDBusPendingCallWatcher(bus_.asyncCall(inhibit), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, &BusHold::answered);
}

BusHold::~BusHold() {
    // Gone with its owner while still held (the application ending): let go all the same.
    if (answer_ && !released_)
        letGo();
}

void BusHold::release() {
    if (released_)
        return;
    released_ = true;
    if (answer_) {
        letGo();
        deleteLater();
        return;
    }
    // The answer is still to come: wait for it past the asker's life.
    setParent(QCoreApplication::instance());
}

void BusHold::answered(QDBusPendingCallWatcher *watcher) {
    watcher->deleteLater();
    const QDBusMessage reply = watcher->reply();
    if (reply.type() != QDBusMessage::ReplyMessage) {
        if (!released_)
            Q_EMIT refused();
        deleteLater();
        return;
    }
    answer_ = reply;
    if (released_) {
        letGo();
        deleteLater();
        return;
    }
    Q_EMIT held();
}

void BusHold::letGo() {
    // Nobody waits for the answer: there is nothing left to do if it fails.
    QDBusMessage call = release_(*answer_);
    call.setAutoStartService(false);
    bus_.send(call);
    answer_.reset();
}
