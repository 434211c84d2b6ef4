#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusVariant>
#include <QVariantMap>

class MediaControls;

// org.freedesktop.DBus.Properties for the media controls' object, answered here rather than by
// Qt: Qt's own answer cannot refuse a write, so a LoopStatus of "Bogus" or a Volume given as
// text would seem to succeed. Writes of the wrong type, or that a setter refuses, get
// org.freedesktop.DBus.Error.InvalidArgs; reads are those of the interfaces' adaptors.
class MprisPropertiesAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.DBus.Properties")
    // Qt lists this interface itself: once is enough.
    Q_CLASSINFO("D-Bus Introspection", "")
public:
    explicit MprisPropertiesAdaptor(MediaControls &controls);

public Q_SLOTS:
    QDBusVariant Get(const QString &interfaceName, const QString &propertyName);
    QVariantMap GetAll(const QString &interfaceName);
    void Set(const QString &interfaceName, const QString &propertyName, const QDBusVariant &value);

private:
    // The adaptor of `interfaceName` and the index of `propertyName` in it; refuses the call
    // and gives nullptr when there is none.
    QObject *adaptorOf(const QString &interfaceName);
    int propertyIndex(const QObject &adaptor, const QString &propertyName);

    MediaControls &controls_;
};
