#pragma once

#include <QDBusAbstractAdaptor>
#include <QStringList>

class MediaControls;

// org.mpris.MediaPlayer2: who the player is, raising or quitting it, and full screen while a
// film is shown.
class MprisRootAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ canQuit)
    Q_PROPERTY(bool CanRaise READ canRaise)
    Q_PROPERTY(bool Fullscreen READ fullscreen WRITE setFullscreen)
    Q_PROPERTY(bool CanSetFullscreen READ canSetFullscreen)
    Q_PROPERTY(bool HasTrackList READ hasTrackList)
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QString DesktopEntry READ desktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ supportedUriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ supportedMimeTypes)
public:
    explicit MprisRootAdaptor(MediaControls &controls);

    bool canQuit() const { return true; }
    bool canRaise() const { return true; }
    bool fullscreen() const;
    // Only a film that plays fills the screen; for anything else the request is ignored.
    void setFullscreen(bool fullscreen);
    bool canSetFullscreen() const;
    bool hasTrackList() const { return false; }
    QString identity() const { return QStringLiteral("Sonavel"); }
    QString desktopEntry() const { return QStringLiteral("io.sonavel.Sonavel"); }
    QStringList supportedUriSchemes() const { return {QStringLiteral("file")}; }
    QStringList supportedMimeTypes() const;

public Q_SLOTS:
    void Raise();
    void Quit();

private:
    MediaControls &controls_;
};
