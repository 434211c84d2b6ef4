#pragma once

#include <QList>
#include <QPair>
#include <QString>

#include <optional>

class Localization;

// What the loaded file is made of, as mpv reads it; unknown parts are empty or unset.
struct MediaInformation {
    QString fileName;
    QString container;
    QString videoCodec;
    QString audioCodec;
    int width = 0;
    int height = 0;
    double frameRate = 0;
    // Of the whole file: its size over its duration.
    double bitsPerSecond = 0;
    QString videoDecoder;
    // The hardware decoding API in use ("vaapi", "nvdec", ...); empty when decoding in
    // software.
    QString hardwareDecoder;
};

// The rows shown for `information`, label and value, in the order a reader expects; a part
// that is not known, or not in the file (no video in a song), is left out.
QList<QPair<QString, QString>> mediaInformationRows(const MediaInformation &information,
                                                    const Localization &localization);
// "1.5 Mbit/s", "320 kbit/s".
QString bitRateText(double bitsPerSecond);
