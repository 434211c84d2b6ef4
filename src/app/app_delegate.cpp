#include "app/app_delegate.h"

#include "app/dark_appearance.h"
#include "app/main_menu.h"
#include "app/playback_menu.h"
#include "app/window_placement.h"
#include "desktop/default_player_prompt.h"
#include "desktop/media_controls.h"
#include "desktop/preferences.h"
#include "desktop/sleep_inhibitor.h"
#include "desktop/tray_icon.h"
#include "desktop/window_system.h"
#include "i18n/localization.h"
#include "playback/player_manager.h"
#include "playback/subtitle_scale.h"
#include "views/accessibility.h"
#include "views/content_view.h"
#include "views/media_information_dialog.h"
#include "views/open_panel.h"
#include "views/state_observer.h"
#include "views/style.h"
#include "views/symbols.h"
#include "views/track_menu.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

#include <cmath>

namespace {

const QString volumeKey = QStringLiteral("volume");
const QString hardwareDecodingKey = QStringLiteral("hardwareDecoding");
const QString subtitleScaleKey = QStringLiteral("subtitleScale");

} // namespace

AppDelegate::AppDelegate(QStringList arguments, MpvEngine::Options engineOptions, QObject *parent)
    : WindowDelegate(parent), arguments_(std::move(arguments)),
      engineOptions_(std::move(engineOptions)) {
    // The views reach the full screen through this, and not at all once the delegate is gone.
    FullScreenController::install(this, this);
}

AppDelegate::~AppDelegate() = default;

void AppDelegate::applicationDidFinishLaunching() {
    // Dark before any view is built or shown: views take their colours from the palette, and
    // the window never flashes in the desktop's colours.
    applyDarkAppearance(*qApp);
    if (loadQtTranslations(qtTexts_, Localization::shared().currentLanguage(),
                           QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qtTexts_);
    // Films speak and subtitle in the languages the interface is chosen from.
    if (engineOptions_.trackLanguages.isEmpty())
        engineOptions_.trackLanguages = trackLanguageCodes(QLocale::system().uiLanguages());
    // On unless turned off; a garbled value leaves it on. The environment may name a decoder.
    engineOptions_.hardwareDecoding = preferences::value(hardwareDecodingKey) != QVariant(false);
    if (const QByteArray decoder = qgetenv("SONAVEL_HWDEC"); !decoder.isEmpty())
        engineOptions_.hardwareDecoder = decoder;
    playerManager_ = std::make_unique<PlayerManager>(engineOptions_);
    playerManager_->setWindowDelegate(this);
    resumeStore_ = std::make_unique<ResumeStore>();
    playerManager_->setResumeStore(resumeStore_.get());
    // Quit, the last window closed, or a signal from the session ending.
    connect(qApp, &QCoreApplication::aboutToQuit, playerManager_.get(),
            &PlayerManager::rememberPosition);
    restoreVolume();
    restoreSubtitleScale();
    followPlayback();

    window_ = std::make_unique<QMainWindow>();
    placement_ = new WindowPlacement(*window_, this);
    contentView_ = new ContentView(*playerManager_, arguments_, window_.get());
    connect(contentView_, &ContentView::startedUp, this, &AppDelegate::playPendingHandOver);
    window_->resize(initialWidth, initialHeight);
    window_->setWindowTitle(L.get(u"appName"));
    // The installed icon theme's, or the bundled one when run from a build tree.
    window_->setWindowIcon(QIcon::fromTheme(QStringLiteral("io.sonavel.Sonavel"),
                                            QIcon(QStringLiteral(":/io.sonavel.Sonavel.svg"))));
    window_->setCentralWidget(contentView_);
    window_->installEventFilter(this);
    qApp->setQuitOnLastWindowClosed(applicationShouldTerminateAfterLastWindowClosed());
    // The menu bar is part of the window's size, so it is there before the window is sized.
    setupMenu();
    // The file named on the command line is loaded before the window first shows: the window
    // is shown, and so placed by the desktop, at the size of what it plays.
    contentView_->startUp();
    placement_->showFirstTime(isFilmLoading(), [this] {
        // Started from the desktop on Wayland: its token lets the new window take the focus.
        if (window_system::desktopPlacesWindows()) {
            const QByteArray launchToken = qgetenv("XDG_ACTIVATION_TOKEN");
            qunsetenv("XDG_ACTIVATION_TOKEN");
            if (!launchToken.isEmpty())
                window_system::bringForward(*window_, launchToken);
        }
        if (pendingForward_)
            window_system::bringForward(*window_, *std::exchange(pendingForward_, std::nullopt));
    });
    setupMenuBarIcon();
    setupMediaControls();
    // The screen stays awake while a film plays, the session while a song does.
    sleepInhibitor_ = std::make_unique<SleepInhibitor>(*playerManager_, *window_);
    checkDefaultPlayer();
}

bool AppDelegate::isFilmLoading() const {
    return playerManager_->player() && playerManager_->isVideo() &&
           playerManager_->loadError().isEmpty();
}

void AppDelegate::setupMediaControls() {
    mediaControls_ = std::make_unique<MediaControls>(
        *playerManager_,
        MediaControls::Window{.raise = [this] { bringWindowForward(); },
                              .isFullScreen = [this] { return isInCustomFullScreen(); },
                              .setFullScreen =
                                  [this](bool fullScreen) {
                                      if (fullScreen)
                                          enterCustomFullScreen();
                                      else
                                          exitCustomFullScreen();
                                  }});
    // Without a session bus Sonavel plays all the same.
    mediaControls_->publish();
}

void AppDelegate::restoreVolume() {
    bool ok = false;
    const double stored = preferences::value(volumeKey).toDouble(&ok);
    // A garbled value is full volume.
    savedVolume_ = ok && std::isfinite(stored) && stored >= 0 && stored <= 1 ? stored : 1.0;
    playerManager_->setVolume(savedVolume_);
}

void AppDelegate::restoreSubtitleScale() {
    bool ok = false;
    const double stored = preferences::value(subtitleScaleKey).toDouble(&ok);
    savedSubtitleScale_ = ok ? subtitle_scale::bounded(stored) : subtitle_scale::normal;
    playerManager_->setSubtitleScale(savedSubtitleScale_);
}

void AppDelegate::saveSubtitleScale() {
    if (!playerManager_ || playerManager_->subtitleScale() == savedSubtitleScale_)
        return;
    savedSubtitleScale_ = playerManager_->subtitleScale();
    preferences::setValue(subtitleScaleKey, savedSubtitleScale_);
}

void AppDelegate::followPlayback() {
    // Looked at once per batch of changes, however they were made.
    new StateObserver(*playerManager_, this, [this] {
        saveVolume();
        saveSubtitleScale();
        // A film that fails gives no size to wait for.
        if (placement_ && !isFilmLoading())
            placement_->stopWaitingForFilm();
        // A song that follows a film in full screen has no picture to fill it, nor a button
        // to leave it. (Full screen asked for while the song plays is left alone.)
        if (playerManager_->player() && !playerManager_->isVideo() &&
            playerManager_->loadSerial() != loadAtFullScreen_)
            exitCustomFullScreen();
        // A film's tracks are chosen while it plays.
        if (window_)
            for (const QString name : {"subtitlesBarMenu", "audioBarMenu"})
                if (auto *menu = window_->menuBar()->findChild<QMenu *>(name))
                    menu->menuAction()->setEnabled(isFilmLoading());
    });
}

void AppDelegate::saveVolume() {
    if (!playerManager_ || playerManager_->volume() == savedVolume_)
        return;
    savedVolume_ = playerManager_->volume();
    preferences::setValue(volumeKey, savedVolume_);
}

void AppDelegate::checkDefaultPlayer() {
    defaultPlayerPrompt_ = std::make_unique<DefaultPlayerPrompt>(window_.get());
    defaultPlayerPrompt_->checkDefaultPlayer();
}

void AppDelegate::setupMenuBarIcon() {
    statusItem_ = std::make_unique<TrayIcon>(
        *playerManager_,
        [](const QString &symbol) { return symbols::icon(symbol, style::primary()); },
        [this] { bringWindowForward(); });
}

void AppDelegate::setupMenu() {
    if (!playbackMenu_)
        playbackMenu_ = new PlaybackMenu(*window_, *playerManager_, [this](const QString &news) {
            if (contentView_)
                contentView_->showNotice(news);
        });
    buildMainMenu(*window_, Localization::shared(),
                  {.quit = [] { QCoreApplication::quit(); },
                   .openFile = [this] { openFile(); },
                   .close = [this] { window_->close(); },
                   .toggleFullScreen = [this] { toggleFullScreenMenu(); },
                   .setHardwareDecoding =
                       [this](bool on) {
                           playerManager_->setHardwareDecoding(on);
                           preferences::setValue(hardwareDecodingKey, on);
                       },
                   .hardwareDecoding = playerManager_->hardwareDecoding(),
                   .showMediaInformation = [this] { showMediaInformation(); },
                   .fillTracks =
                       [this](QMenu &menu, MediaTrack::Kind kind) {
                           TrackMenu::addChoices(&menu, kind, *playerManager_, window_.get());
                       },
                   .playbackMenu = playbackMenu_->menu()});
}

void AppDelegate::showMediaInformation() {
    if (!mediaInformation_)
        mediaInformation_ = new MediaInformationDialog(*playerManager_, window_.get());
    mediaInformation_->show();
    mediaInformation_->raise();
    mediaInformation_->activateWindow();
}

void AppDelegate::openFile() {
    const QUrl chosen = open_panel::chooseMediaFile(window_.get());
    if (!chosen.isEmpty())
        playerManager_->loadMedia(chosen);
}

void AppDelegate::toggleFullScreenMenu() {
    toggleCustomFullScreen();
}

void AppDelegate::openFileHandedOver(const QUrl &file, const QByteArray &activationToken) {
    if (file.isEmpty())
        return;
    pendingHandOver_ = file;
    pendingActivationToken_ = activationToken;
    // Deferred to the event loop: a hand-over may arrive before launching has finished.
    QMetaObject::invokeMethod(this, &AppDelegate::playPendingHandOver, Qt::QueuedConnection);
}

void AppDelegate::playPendingHandOver() {
    if (pendingHandOver_.isEmpty() || !playerManager_ || !contentView_ ||
        !contentView_->hasStartedUp())
        return;
    playerManager_->loadMedia(std::exchange(pendingHandOver_, QUrl()));
    bringWindowForward(std::exchange(pendingActivationToken_, QByteArray()));
}

void AppDelegate::bringWindowForward(const QByteArray &activationToken) {
    if (!window_)
        return;
    // Asked for before the window first showed (a hand-over while a film loads): it comes
    // forward when it first shows, at the size of what then plays.
    if (placement_ && !placement_->hasShown()) {
        pendingForward_ = activationToken;
        if (!isFilmLoading())
            placement_->stopWaitingForFilm();
        return;
    }
    window_system::bringForward(*window_, activationToken);
}

bool AppDelegate::eventFilter(QObject *watched, QEvent *event) {
    if (watched == window_.get() && event->type() == QEvent::WindowStateChange) {
        const bool wasFullScreen = isInCustomFullScreen();
        customFullScreen_.windowStateChanged(*window_);
        if (wasFullScreen && !isInCustomFullScreen()) {
            // Once this change has gone through: the fit may show the window anew.
            QMetaObject::invokeMethod(this, &AppDelegate::fitOnLeavingFullScreen,
                                      Qt::QueuedConnection);
            announceFullScreen();
        }
    }
    return WindowDelegate::eventFilter(watched, event);
}

void AppDelegate::enterCustomFullScreen() {
    if (!window_ || isInCustomFullScreen())
        return;
    loadAtFullScreen_ = playerManager_->loadSerial();
    filmInFullScreen_.reset();
    // A windowed size still held against late answers is the one to come back to, and would
    // fight the full screen's if still held.
    const std::optional<QSize> windowedSize = placement_->heldSize();
    placement_->beginFullScreen();
    customFullScreen_.enter(*window_, windowedSize);
    announceFullScreen();
}

void AppDelegate::exitCustomFullScreen() {
    if (!window_ || !isInCustomFullScreen())
        return;
    customFullScreen_.exit(*window_);
    fitOnLeavingFullScreen();
    announceFullScreen();
}

void AppDelegate::announceFullScreen() {
    if (mediaControls_)
        mediaControls_->refresh();
    // Nothing a reader follows changes with it: the window's size is not read out.
    if (window_)
        accessibility::say(window_.get(),
                           L.get(isInCustomFullScreen() ? u"fullScreenOn" : u"fullScreenOff"));
}

void AppDelegate::fitOnLeavingFullScreen() {
    if (!window_ || isInCustomFullScreen() || !savedWindowFrame())
        return;
    // The window fits what plays now, not the film it was last fitted to (a song is not fitted).
    std::optional<QSizeF> film = std::exchange(filmInFullScreen_, std::nullopt);
    if (!playerManager_->isVideo())
        film.reset();
    if (const std::optional<QRect> fitted =
            placement_->endFullScreen(savedWindowFrame()->size(), film))
        customFullScreen_.setSavedWindowFrame(*fitted);
}

void AppDelegate::toggleCustomFullScreen() {
    if (isInCustomFullScreen())
        exitCustomFullScreen();
    else
        enterCustomFullScreen();
}

void AppDelegate::saveWindowPosition() {
    if (placement_)
        placement_->saveFrame();
}

void AppDelegate::resizeAndPositionWindow(QSizeF size, bool isVideo) {
    if (!window_ || !isVideo)
        return;
    // In full screen the window keeps the screen; it is fitted on leaving.
    if (isInCustomFullScreen())
        filmInFullScreen_ = size;
    else
        placement_->fitToVideo(size);
}
