#include "playback/player_manager.h"
#include "playback/preview_cache.h"
#include "playback/preview_decoder.h"
#include "playback/preview_rules.h"
#include "playback/preview_source.h"
#include "support/test_support.h"

#include <QGuiApplication>
#include <QPointer>
#include <QSignalSpy>

#include <limits>

using test_support::secondOfColours;
using test_support::timeoutMs;

namespace {

QByteArray fixturePath(const QString &name) {
    return QFile::encodeName(test_support::fixture(name));
}

QUrl fixtureUrl(const QString &name) {
    return QUrl::fromLocalFile(test_support::fixture(name));
}

// The picture the decoder gives for request `id`, waited for.
QImage pictureFor(QSignalSpy &ready, quint64 id) {
    QImage found;
    (void)QTest::qWaitFor(
        [&] {
            for (const QList<QVariant> &arguments : std::as_const(ready))
                if (arguments.at(0).toULongLong() == id)
                    found = arguments.at(3).value<QImage>();
            return !found.isNull();
        },
        timeoutMs);
    return found;
}

} // namespace

class PreviewTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void rules() {
        // The film's shape within the box; the box's own for sizes that say nothing.
        QCOMPARE(previewPictureSize(QSizeF(1920, 1080), QSize(176, 132)), QSize(176, 99));
        QCOMPARE(previewPictureSize(QSizeF(240, 320), QSize(176, 132)), QSize(99, 132));
        QCOMPARE(previewPictureSize(QSizeF(100000, 1), QSize(176, 132)), QSize(176, 1));
        QCOMPARE(previewPictureSize(QSizeF(), QSize(176, 132)), QSize(176, 132));
        QCOMPARE(previewPictureSize(QSizeF(std::numeric_limits<double>::quiet_NaN(), 10),
                                    QSize(176, 132)),
                 QSize(176, 132));
        QCOMPARE(previewPictureSize(QSizeF(16, 9), QSize(0, 0)), QSize(1, 1));

        // About 2,000 slots over a film, none shorter than a frame.
        QCOMPARE(previewSlot(0, 20), 0);
        QCOMPARE(previewSlot(7.5, 20), previewSlot(7.51, 20));
        QVERIFY(previewSlot(7.5, 20) != previewSlot(7.56, 20));
        QCOMPARE(previewSlot(36000, 36000), 2000);
        QCOMPARE(previewSlot(17, 36000), previewSlot(0, 36000));
        QCOMPARE(previewSlot(-3, 20), 0);
        QCOMPARE(previewSlot(std::numeric_limits<double>::infinity(), 20), 0);
        QVERIFY(previewSlot(1e300, 0) > 0);
    }

    void cacheKeepsRecentPlacesAndPrefersTheVeryFrame() {
        PreviewCache cache(3);
        QImage keyframe(4, 4, QImage::Format_RGB32), exact(4, 4, QImage::Format_RGB32);
        keyframe.fill(Qt::red);
        exact.fill(Qt::green);
        cache.insert(1, false, keyframe);
        QCOMPARE(cache.find(1, false), keyframe);
        QVERIFY(cache.find(1, true).isNull());
        cache.insert(1, true, exact);
        QCOMPARE(cache.find(1, true), exact);
        // A keyframe does not replace the very frame.
        cache.insert(1, false, keyframe);
        QCOMPARE(cache.find(1, false), exact);
        // Bounded: the least recently used goes.
        cache.insert(2, false, keyframe);
        cache.insert(3, false, keyframe);
        QVERIFY(!cache.find(1, false).isNull());
        cache.insert(4, false, keyframe);
        QCOMPARE(cache.size(), 3);
        QVERIFY(cache.find(2, false).isNull());
        QVERIFY(!cache.find(1, false).isNull());
        cache.insert(5, false, QImage());
        QCOMPARE(cache.size(), 3);
    }

    void theVeryFrameOrTheNearestKeyframe() {
        PreviewDecoder decoder(fixturePath("colours.mp4"), QSize(96, 54));
        QSignalSpy ready(&decoder, &PreviewDecoder::pictureReady);
        QImage picture = pictureFor(ready, decoder.request(7.5, true));
        QCOMPARE(picture.size(), QSize(96, 54));
        QCOMPARE(secondOfColours(picture), 7);
        // Keyframes lie every 10 s: 0 or 10 is the nearest.
        const int second = secondOfColours(pictureFor(ready, decoder.request(7.5, false)));
        QVERIFY2(second == 0 || second == 10, qPrintable(QString::number(second)));
        QCOMPARE(secondOfColours(pictureFor(ready, decoder.request(13.2, true))), 13);
        QCOMPARE(secondOfColours(pictureFor(ready, decoder.request(19.9, true))), 19);
        // Past the end and before the start: the last picture and the first.
        QCOMPARE(secondOfColours(pictureFor(ready, decoder.request(500, true))), 19);
        QCOMPARE(secondOfColours(pictureFor(ready, decoder.request(-4, true))), 0);
    }

    void staleRequestsAreDropped() {
        PreviewDecoder decoder(fixturePath("colours.mp4"), QSize(96, 54));
        QSignalSpy ready(&decoder, &PreviewDecoder::pictureReady);
        QVERIFY(!pictureFor(ready, decoder.request(1, false)).isNull());
        ready.clear();
        // A pointer swept over the bar: sixty places at once. The one under way finishes, the
        // latest follows, those between are never decoded.
        quint64 last = 0;
        for (int i = 0; i < 60; ++i)
            last = decoder.request(i * 0.3, true);
        QCOMPARE(secondOfColours(pictureFor(ready, last)), 17);
        QVERIFY2(ready.count() <= 2, qPrintable(QString::number(ready.count())));
        // Each picture is of the place it is given for.
        for (const QList<QVariant> &picture : std::as_const(ready)) {
            QVERIFY(picture.at(0).toULongLong() <= last);
            QCOMPARE(secondOfColours(picture.at(3).value<QImage>()), int(picture.at(1).toDouble()));
        }
        // Nothing more comes.
        QVERIFY(!ready.wait(500));
    }

    void badFilesGiveNoPicturesAndNeverHang() {
        // Sound alone, not a film at all, no file: said, once, and asking again is harmless.
        for (const char *name : {"sound-only.mp4", "text.mkv", "missing.mp4"}) {
            PreviewDecoder decoder(fixturePath(name), QSize(96, 54));
            QSignalSpy failed(&decoder, &PreviewDecoder::failed);
            QSignalSpy ready(&decoder, &PreviewDecoder::pictureReady);
            decoder.request(1, true);
            QTRY_VERIFY_WITH_TIMEOUT(decoder.hasFailed(), timeoutMs);
            decoder.request(2, false);
            QVERIFY(!ready.wait(300));
            QCOMPARE(failed.count(), 1);
        }

        // Noise a third of the way in: every place is answered or given up, and the decoder
        // still shows the undamaged part afterwards.
        {
            PreviewDecoder decoder(fixturePath("damaged.mp4"), QSize(96, 72));
            QSignalSpy ready(&decoder, &PreviewDecoder::pictureReady);
            for (double place = 0; place < 30; place += 1.5)
                decoder.request(place, int(place) % 2 == 0);
            QVERIFY(!pictureFor(ready, decoder.request(2, true)).isNull());
            QVERIFY(!pictureFor(ready, decoder.request(10.5, true)).isNull());
            QVERIFY(!pictureFor(ready, decoder.request(25, false)).isNull());
        }

        // Ten hours: its last minutes as quickly as its first.
        PreviewDecoder decoder(fixturePath("ten-hours.mkv"), QSize(64, 36));
        QSignalSpy ready(&decoder, &PreviewDecoder::pictureReady);
        QCOMPARE(pictureFor(ready, decoder.request(35990, true)).size(), QSize(64, 36));
        QVERIFY(!pictureFor(ready, decoder.request(20000, false)).isNull());
    }

    void theDecoderComesWithThePointerAndGoesWithTheFilm() {
        PlayerManager manager(test_support::headlessEngine());
        PreviewSource source(manager);
        source.setBox(QSize(96, 54));
        manager.loadMedia(fixtureUrl("colours.mp4"));
        QTRY_VERIFY_WITH_TIMEOUT(manager.duration() > 19, timeoutMs);
        QVERIFY(!source.decoder());

        // At rest, the very frame.
        source.point(7.5);
        QVERIFY(source.decoder());
        QTRY_COMPARE_WITH_TIMEOUT(secondOfColours(source.picture()), 7, timeoutMs);
        source.point(13.2);
        QTRY_COMPARE_WITH_TIMEOUT(secondOfColours(source.picture()), 13, timeoutMs);
        // A place seen before is shown at once.
        source.point(7.5);
        QCOMPARE(secondOfColours(source.picture()), 7);
        source.stop();

        // Gone with the film; a song has no pictures.
        QPointer<PreviewDecoder> decoder = source.decoder();
        manager.loadMedia(fixtureUrl("tone.mp3"));
        QTRY_VERIFY_WITH_TIMEOUT(!decoder, timeoutMs);
        QVERIFY(source.picture().isNull());
        source.point(0.5);
        QVERIFY(!source.decoder());
        QVERIFY(source.picture().isNull());

        // Another film starts afresh; a film without pictures lets its decoder go.
        manager.loadMedia(fixtureUrl("colours.mp4"));
        QTRY_VERIFY_WITH_TIMEOUT(manager.duration() > 19, timeoutMs);
        source.point(7.5);
        QTRY_COMPARE_WITH_TIMEOUT(secondOfColours(source.picture()), 7, timeoutMs);
        manager.loadMedia(fixtureUrl("sound-only.mp4"));
        QTRY_VERIFY_WITH_TIMEOUT(manager.duration() > 4, timeoutMs);
        QVERIFY(source.picture().isNull());
        source.point(2);
        QTRY_VERIFY_WITH_TIMEOUT(!source.decoder(), timeoutMs);
        QVERIFY(source.picture().isNull());
    }
};

SONAVEL_TEST_MAIN(PreviewTest, QGuiApplication)
#include "tst_preview.moc"
