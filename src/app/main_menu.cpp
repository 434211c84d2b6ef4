#include "app/main_menu.h"

#include "i18n/localization.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

namespace {

QAction *addItem(QMainWindow &window, QMenu &menu, const QString &title,
                 const QList<QKeySequence> &shortcuts, const std::function<void()> &trigger) {
    QAction *action = menu.addAction(title);
    action->setShortcuts(shortcuts);
    action->setShortcutContext(Qt::WindowShortcut);
    QObject::connect(action, &QAction::triggered, &window, [trigger] { trigger(); });
    window.addAction(action);
    return action;
}

} // namespace

void buildMainMenu(QMainWindow &window, const Localization &localization,
                   const MainMenuActions &actions) {
    QMenuBar *bar = window.menuBar();
    bar->clear();

    QMenu *application = bar->addMenu(localization.get(u"appName"));
    application->setObjectName(QStringLiteral("applicationMenu"));
    QAction *quit = addItem(window, *application, localization.get(u"quit"),
                            {QKeySequence(Qt::CTRL | Qt::Key_Q)}, actions.quit);
    quit->setMenuRole(QAction::QuitRole);

    QMenu *file = bar->addMenu(localization.get(u"file"));
    file->setObjectName(QStringLiteral("fileMenu"));
    addItem(window, *file, localization.get(u"open"), {QKeySequence(Qt::CTRL | Qt::Key_O)},
            actions.openFile);
    file->addSeparator();
    addItem(window, *file, localization.get(u"close"), {QKeySequence(Qt::CTRL | Qt::Key_W)},
            actions.close);

    QMenu *view = bar->addMenu(QStringLiteral("View"));
    view->setObjectName(QStringLiteral("viewMenu"));
    // Control-Command-F in Qt's spelling, and F11 as Linux desktops use for full screen.
    addItem(window, *view, QStringLiteral("Enter Full Screen"),
            {QKeySequence(Qt::CTRL | Qt::META | Qt::Key_F), QKeySequence(Qt::Key_F11)},
            actions.toggleFullScreen);
    view->addSeparator();
    QAction *hardwareDecoding = view->addAction(localization.get(u"hardwareDecoding"), &window,
                                                [set = actions.setHardwareDecoding](bool on) {
                                                    if (set)
                                                        set(on);
                                                });
    hardwareDecoding->setObjectName(QStringLiteral("hardwareDecodingAction"));
    hardwareDecoding->setCheckable(true);
    hardwareDecoding->setChecked(actions.hardwareDecoding);
    addItem(window, *view, localization.get(u"mediaInformation"),
            {QKeySequence(Qt::CTRL | Qt::Key_I)}, actions.showMediaInformation);

    if (actions.playbackMenu)
        bar->addMenu(actions.playbackMenu);

    // The track choices without a context menu: a laptop may have no menu key.
    const auto addTracksMenu = [&](MediaTrack::Kind kind, QStringView key, const QString &name) {
        QMenu *menu = bar->addMenu(localization.get(key));
        menu->setObjectName(name);
        menu->menuAction()->setEnabled(false);
        QObject::connect(menu, &QMenu::aboutToShow, menu, [menu, kind, fill = actions.fillTracks] {
            menu->clear();
            if (fill)
                fill(*menu, kind);
        });
    };
    addTracksMenu(MediaTrack::Kind::subtitle, u"subtitles", QStringLiteral("subtitlesBarMenu"));
    addTracksMenu(MediaTrack::Kind::audio, u"audio", QStringLiteral("audioBarMenu"));
}
