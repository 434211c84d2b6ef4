#include "playback/media_information.h"

#include "i18n/localization.h"

QString bitRateText(double bitsPerSecond) {
    if (bitsPerSecond >= 1e6)
        return QStringLiteral("%1 Mbit/s").arg(bitsPerSecond / 1e6, 0, 'f', 1);
    return QStringLiteral("%1 kbit/s").arg(qRound(bitsPerSecond / 1e3));
}

QList<QPair<QString, QString>> mediaInformationRows(const MediaInformation &information,
                                                    const Localization &localization) {
    QList<QPair<QString, QString>> rows;
    const auto add = [&](QStringView key, const QString &value) {
        if (!value.isEmpty())
            rows.append({localization.get(key), value});
    };
    add(u"infoFile", information.fileName);
    add(u"infoContainer", information.container);
    add(u"infoVideo", information.videoCodec);
    if (information.width > 0 && information.height > 0)
        add(u"infoSize", QStringLiteral("%1 × %2").arg(information.width).arg(information.height));
    if (information.frameRate > 0)
        add(u"infoFrameRate", QStringLiteral("%1 fps").arg(information.frameRate, 0, 'g', 4));
    add(u"infoAudio", information.audioCodec);
    if (information.bitsPerSecond > 0)
        add(u"infoBitRate", bitRateText(information.bitsPerSecond));
    if (!information.videoDecoder.isEmpty()) {
        const QString how = information.hardwareDecoder.isEmpty()
                                ? localization.get(u"software")
                                : QStringLiteral("%1, %2").arg(localization.get(u"hardware"),
                                                               information.hardwareDecoder);
        add(u"infoDecoder", QStringLiteral("%1 (%2)").arg(information.videoDecoder, how));
    }
    return rows;
}
