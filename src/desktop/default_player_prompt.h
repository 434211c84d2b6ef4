#pragma once

#include <QObject>
#include <QStringList>

#include <functional>

class QAbstractButton;
class QMessageBox;
class QWidget;

// Shortly after launch, offers to make Sonavel the desktop's default player, unless it already
// is for a common video type, the user said "Don't Ask Again", or Sonavel is not installed
// (run from a build tree, where registering would silently do nothing).
class DefaultPlayerPrompt : public QObject {
    Q_OBJECT
public:
    static constexpr const char *identifier = "io.sonavel.Sonavel";
    static constexpr const char *desktopEntryId = "io.sonavel.Sonavel.desktop";
    static constexpr int delayMs = 1000;
    static const QStringList examinedTypes;
    static const QStringList registeredTypes;

    explicit DefaultPlayerPrompt(QWidget *dialogParent, QObject *parent = nullptr);

    // Looks up the defaults (unless suppressed) and, if need be, asks 1 s later.
    void checkDefaultPlayer();
    bool isDefaultPlayer();
    void showDefaultPlayerDialog();
    void setAsDefaultPlayer();
    bool isInstalled() const;

    // How the dialog is run; the button pressed comes back. Replaced by tests to answer it.
    using Runner = std::function<QAbstractButton *(QMessageBox &)>;
    void setRunner(Runner runner) { runner_ = std::move(runner); }
    // How many times the defaults were looked up.
    int lookups() const { return lookups_; }

Q_SIGNALS:
    void dialogShown();

private:
    QWidget *dialogParent_;
    Runner runner_;
    int lookups_ = 0;
};
