#include "playback/media_player.h"
#include "playback/mpv_renderer.h"
#include "playback/player_manager.h"
#include "support/test_support.h"

#include <QGuiApplication>
#include <QSignalSpy>

using test_support::timeoutMs;

namespace {

MpvEngine::Options rendering() {
    MpvEngine::Options options = test_support::headlessEngine();
    options.videoOutput = "libmpv";
    return options;
}

} // namespace

class VideoRenderingTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void surfaceAttachedAfterLoadingShowsThePictureUpright() {
        PlayerManager manager(rendering());
        manager.loadMedia(QUrl::fromLocalFile(test_support::fixture("clip.mp4")));
        MpvRenderer *renderer = manager.player()->engine()->renderer();
        QVERIFY2(renderer, "no OpenGL renderer");
        // No surface yet: pictures are consumed and time goes on.
        QTRY_VERIFY_WITH_TIMEOUT(manager.currentTime() > 0.2, timeoutMs);
        manager.pause();

        QSignalSpy rendered(renderer, &MpvRenderer::frameRendered);
        renderer->setTargetSize(QSize(320, 240));
        QVERIFY(rendered.wait(timeoutMs));
        const QImage frame = renderer->grabFrame();
        QCOMPARE(frame.size(), QSize(320, 240));

        const QImage reference(test_support::fixture("clip-frame.png"));
        QVERIFY(!reference.isNull());
        // The upper three quarters of testsrc hold still; its bottom strip scrolls.
        QVERIFY(test_support::showsUpright(frame, reference, QRectF(0.05, 0.05, 0.9, 0.65)));

        // A new size redraws the paused picture at once.
        renderer->setTargetSize(QSize(160, 120));
        QVERIFY(rendered.wait(timeoutMs));
        QCOMPARE(renderer->grabFrame().size(), QSize(160, 120));
    }

    void videoWithoutSurfacePlaysToItsEnd() {
        PlayerManager manager(rendering());
        manager.setRepeatMode(RepeatMode::off);
        manager.loadMedia(QUrl::fromLocalFile(test_support::fixture("clip.mkv")));
        QTRY_VERIFY_WITH_TIMEOUT(manager.currentTime() > 0.2, timeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(!manager.isPlaying(), timeoutMs);
        QVERIFY(manager.loadError().isEmpty());
    }
};

SONAVEL_TEST_MAIN(VideoRenderingTest, QGuiApplication)
#include "tst_video_rendering.moc"
