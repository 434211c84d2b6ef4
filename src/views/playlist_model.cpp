#include "views/playlist_model.h"

#include "playback/media_kind.h"
#include "views/accessibility.h"
#include "views/name_text.h"

QString playlistTitle(const QUrl &url) {
    const QString name = media_kind::fileName(url);
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? name : name.left(dot);
}

void PlaylistModel::update(const QList<QUrl> &playlist, qint64 currentIndex, bool isPlaying) {
    if (playlist != playlist_) {
        beginResetModel();
        playlist_ = playlist;
        currentIndex_ = currentIndex;
        isPlaying_ = isPlaying;
        endResetModel();
        return;
    }
    if (currentIndex != currentIndex_) {
        const qint64 previous = std::exchange(currentIndex_, currentIndex);
        rowChanged(previous);
        rowChanged(currentIndex_);
    }
    if (isPlaying != isPlaying_) {
        isPlaying_ = isPlaying;
        rowChanged(currentIndex_);
    }
}

void PlaylistModel::rowChanged(qint64 row) {
    if (row >= 0 && row < playlist_.size())
        Q_EMIT dataChanged(index(int(row)), index(int(row)));
}

int PlaylistModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(playlist_.size());
}

QVariant PlaylistModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.row() >= playlist_.size())
        return {};
    const QUrl &url = playlist_.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case TitleRole:
        return playlistTitle(url);
    case Qt::ToolTipRole:
        return media_kind::fileName(url);
    case Qt::AccessibleTextRole:
        // Its number first, as the row shows it.
        return QStringLiteral("%1, %2").arg(index.row() + 1).arg(shownFileName(playlistTitle(url)));
    case Qt::AccessibleDescriptionRole:
        if (index.row() != currentIndex_)
            return QString();
        return accessibility::playState(isPlaying_);
    case ExtensionRole:
        return media_kind::lowerCaseExtension(media_kind::fileName(url)).toUpper();
    case IsCurrentRole:
        return index.row() == currentIndex_;
    case IsPlayingRole:
        return isPlaying_;
    case UrlRole:
        return url;
    default:
        return {};
    }
}
