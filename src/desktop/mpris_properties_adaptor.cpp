#include "desktop/mpris_properties_adaptor.h"

#include "desktop/media_controls.h"

#include <QMetaProperty>

MprisPropertiesAdaptor::MprisPropertiesAdaptor(MediaControls &controls)
    : QDBusAbstractAdaptor(&controls), controls_(controls) {}

QObject *MprisPropertiesAdaptor::adaptorOf(const QString &interfaceName) {
    for (QObject *child : controls_.children()) {
        auto *adaptor = qobject_cast<QDBusAbstractAdaptor *>(child);
        if (!adaptor || adaptor == this)
            continue;
        const QMetaObject *meta = adaptor->metaObject();
        const int info = meta->indexOfClassInfo("D-Bus Interface");
        if (info >= 0 && interfaceName == QLatin1StringView(meta->classInfo(info).value()))
            return adaptor;
    }
    controls_.refuseCall(QStringLiteral("no interface %1 here").arg(interfaceName),
                         QDBusError::UnknownInterface);
    return nullptr;
}

int MprisPropertiesAdaptor::propertyIndex(const QObject &adaptor, const QString &propertyName) {
    const QMetaObject *meta = adaptor.metaObject();
    const int index = meta->indexOfProperty(propertyName.toUtf8().constData());
    if (index < meta->propertyOffset()) {
        controls_.refuseCall(QStringLiteral("no property %1 here").arg(propertyName),
                             QDBusError::UnknownProperty);
        return -1;
    }
    return index;
}

QDBusVariant MprisPropertiesAdaptor::Get(const QString &interfaceName,
                                         const QString &propertyName) {
    const QObject *adaptor = adaptorOf(interfaceName);
    const int index = adaptor ? propertyIndex(*adaptor, propertyName) : -1;
    if (index < 0)
        return QDBusVariant(QVariant(0));
    return QDBusVariant(adaptor->metaObject()->property(index).read(adaptor));
}

QVariantMap MprisPropertiesAdaptor::GetAll(const QString &interfaceName) {
    QVariantMap all;
    const QObject *adaptor = adaptorOf(interfaceName);
    if (!adaptor)
        return all;
    const QMetaObject *meta = adaptor->metaObject();
    for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i)
        all.insert(QString::fromLatin1(meta->property(i).name()), meta->property(i).read(adaptor));
    return all;
}

void MprisPropertiesAdaptor::Set(const QString &interfaceName, const QString &propertyName,
                                 const QDBusVariant &value) {
    QObject *adaptor = adaptorOf(interfaceName);
    const int index = adaptor ? propertyIndex(*adaptor, propertyName) : -1;
    if (index < 0)
        return;
    const QMetaProperty property = adaptor->metaObject()->property(index);
    if (!property.isWritable())
        return controls_.refuseCall(QStringLiteral("%1 is read-only").arg(propertyName),
                                    QDBusError::PropertyReadOnly);
    // Exactly the property's type: a number given as text, or a whole number for a double,
    // is not what MPRIS allows.
    if (value.variant().metaType() != property.metaType())
        return controls_.refuseCall(
            QStringLiteral("%1 takes a value of type %2").arg(propertyName, property.typeName()));
    // The setter refuses values outside what the property allows.
    property.write(adaptor, value.variant());
}
