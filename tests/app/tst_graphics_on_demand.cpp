#include "app/app_delegate.h"
#include "playback/media_player.h"
#include "playback/mpv_renderer.h"
#include "playback/player_manager.h"
#include "support/test_support.h"

#include <QApplication>
#include <QFile>
#include <QMainWindow>
#include <QOpenGLContext>
#include <QSignalSpy>

using test_support::timeoutMs;

namespace {

// Whether an OpenGL driver is mapped into this process (Mesa's DRI drivers and the LLVM they
// compile shaders with, or a vendor's libGL): what an OpenGL context costs.
bool graphicsDriverLoaded() {
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly))
        qFatal("cannot read /proc/self/maps");
    const QByteArray mapped = maps.readAll();
    return mapped.contains("/dri/") || mapped.contains("libLLVM") ||
           mapped.contains("libnvidia-glcore");
}

} // namespace

// A process of its own: no earlier test may have made an OpenGL context here.
class GraphicsOnDemandTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void musicNeverLoadsTheGraphicsDriverAndAVideoAfterItStillDraws() {
        QVERIFY(!graphicsDriverLoaded());
        MpvEngine::Options rendering = test_support::headlessEngine();
        rendering.videoOutput = "libmpv";
        AppDelegate delegate({"sonavel", test_support::fixture("tone.mp3")}, rendering);
        delegate.applicationDidFinishLaunching();
        QVERIFY(QTest::qWaitForWindowExposed(delegate.window()));
        PlayerManager &manager = *delegate.playerManager();
        QTRY_VERIFY_WITH_TIMEOUT(manager.currentTime() > 0.3, timeoutMs);
        QVERIFY(!manager.player()->engine()->renderer());
        QVERIFY(!QOpenGLContext::currentContext());
        QVERIFY(!graphicsDriverLoaded());

        // The first video makes the renderer before it starts, and its picture is drawn; only
        // OpenGL maps the driver.
        manager.loadMedia(QUrl::fromLocalFile(test_support::fixture("clip.mp4")));
        MpvRenderer *renderer = manager.player()->engine()->renderer();
        QVERIFY(renderer);
        QSignalSpy drawn(renderer, &MpvRenderer::frameRendered);
        QVERIFY(drawn.wait(timeoutMs));
        QVERIFY(manager.loadError().isEmpty());
        QCOMPARE(graphicsDriverLoaded(), renderer->kind() == VideoRendererKind::openGl);
    }
};

SONAVEL_TEST_MAIN(GraphicsOnDemandTest, QApplication)
#include "tst_graphics_on_demand.moc"
