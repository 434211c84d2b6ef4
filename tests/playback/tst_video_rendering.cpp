#include "playback/media_player.h"
#include "playback/mpv_engine.h"
#include "playback/mpv_renderer.h"
#include "playback/player_manager.h"
#include "playback/subtitle_memory_guard.h"
#include "playback/video_renderer_choice.h"
#include "support/test_support.h"

#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
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
    void theRendererFitsTheDriver() {
        // This machine draws OpenGL with Mesa's llvmpipe: films are drawn in software unless
        // the setting asks for OpenGL.
        const bool forcedOpenGl =
            forcedVideoRenderer(qgetenv("SONAVEL_VIDEO_RENDERER")) == VideoRendererKind::openGl;
        PlayerManager manager(rendering());
        manager.loadMedia(QUrl::fromLocalFile(test_support::fixture("clip.mp4")));
        MpvRenderer *renderer = manager.player()->engine()->renderer();
        QVERIFY(renderer);
        QCOMPARE(renderer->kind(),
                 forcedOpenGl ? VideoRendererKind::openGl : VideoRendererKind::software);

        QOpenGLContext context;
        QVERIFY(context.create());
        QOffscreenSurface surface;
        surface.setFormat(context.format());
        surface.create();
        QVERIFY(context.makeCurrent(&surface));
        const auto *driver =
            reinterpret_cast<const char *>(context.functions()->glGetString(GL_RENDERER));
        QVERIFY2(isSoftwareGlDriver(driver), driver);
        context.doneCurrent();

        // GPU drivers built with LLVM name it too.
        QVERIFY(!isSoftwareGlDriver("AMD Radeon RX 6600 (navi23, LLVM 15.0.6, DRM 3.49)"));
        QVERIFY(!isSoftwareGlDriver("Mesa Intel(R) UHD Graphics 620 (KBL GT2)"));
        QVERIFY(isSoftwareGlDriver("Software Rasterizer"));
        QCOMPARE(forcedVideoRenderer(" Software\n"), VideoRendererKind::software);
        QCOMPARE(forcedVideoRenderer("gl"), std::nullopt);
    }

    void surfaceAttachedAfterLoadingShowsThePictureUpright() {
        PlayerManager manager(rendering());
        manager.loadMedia(QUrl::fromLocalFile(test_support::fixture("clip.mp4")));
        MpvRenderer *renderer = manager.player()->engine()->renderer();
        QVERIFY2(renderer, "no renderer");
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

    void subtitlesTooHeavyToDrawFallBackToPlainText() {
        MpvEngine::Options options = rendering();
        options.subtitleMemoryBudget = 64 * 1024 * 1024;
        PlayerManager manager(options);
        const auto styling = [&] {
            char *value =
                mpv_get_property_string(manager.player()->engine()->handle(), "sub-ass-override");
            const QByteArray result(value ? value : "");
            mpv_free(value);
            return result;
        };
        manager.loadMedia(QUrl::fromLocalFile(test_support::fixture("heavy-subtitles.mkv")));
        MpvRenderer *renderer = manager.player()->engine()->renderer();
        QVERIFY2(renderer, "no renderer");
        renderer->setTargetSize(QSize(640, 360));
        // Drawn styled until they cost more than allowed, then as plain text, and the memory
        // they took is handed back.
        QTRY_VERIFY_WITH_TIMEOUT(manager.subtitlesSimplified(), 4 * timeoutMs);
        QCOMPARE(styling(), QByteArray("strip"));
        const qint64 afterwards = SubtitleMemoryGuard::residentBytes();
        QVERIFY(afterwards > 0);
        QSignalSpy rendered(renderer, &MpvRenderer::frameRendered);
        for (int frame = 0; frame < 10; ++frame)
            QVERIFY(rendered.wait(timeoutMs));
        QVERIFY(SubtitleMemoryGuard::residentBytes() < afterwards + options.subtitleMemoryBudget);

        // The next film shows its subtitles styled again.
        manager.loadMedia(QUrl::fromLocalFile(test_support::fixture("english-speech.mkv")));
        QVERIFY(!manager.subtitlesSimplified());
        QCOMPARE(styling(), QByteArray("yes"));
    }

    void aBigFilmStartingIsNotTakenForHeavySubtitles() {
        MpvEngine::Options options = rendering();
        options.subtitleMemoryBudget = 16 * 1024 * 1024;
        PlayerManager manager(options);
        manager.loadMedia(QUrl::fromLocalFile(test_support::fixture("styled-4k.mkv")));
        MpvRenderer *renderer = manager.player()->engine()->renderer();
        QVERIFY2(renderer, "no renderer");
        renderer->setTargetSize(QSize(640, 360));
        QTRY_VERIFY_WITH_TIMEOUT(manager.currentTime() > 1.5, 4 * timeoutMs);
        QVERIFY(!manager.subtitlesSimplified());
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
