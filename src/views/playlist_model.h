#pragma once

#include <QAbstractListModel>
#include <QList>
#include <QUrl>

// The folder playlist as list rows: title, extension badge, and which row is current.
class PlaylistModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role {
        TitleRole = Qt::UserRole + 1,
        ExtensionRole,
        IsCurrentRole,
        IsPlayingRole,
        UrlRole
    };

    using QAbstractListModel::QAbstractListModel;

    // Cheap when nothing changed: called on every redraw.
    void update(const QList<QUrl> &playlist, qint64 currentIndex, bool isPlaying);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;

private:
    void rowChanged(qint64 row);

    QList<QUrl> playlist_;
    qint64 currentIndex_ = -1;
    bool isPlaying_ = false;
};

// A row's title: its file name without the last extension ("a.b.mp3" gives "a.b").
QString playlistTitle(const QUrl &url);
