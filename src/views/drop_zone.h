#pragma once

#include <QWidget>

class PlayerManager;
class QDropEvent;
class QMimeData;
class QUrl;

// The empty window: an invitation to drop a media file here or to open one.
class DropZone : public QWidget {
    Q_OBJECT
public:
    explicit DropZone(PlayerManager &playerManager, QWidget *parent = nullptr);

    // True while a drag carrying a local file hovers over the zone.
    bool isTargeted() const { return isTargeted_; }
    void openFile();

protected:
    void paintEvent(QPaintEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void setTargeted(bool targeted);

    PlayerManager &playerManager_;
    bool isTargeted_ = false;
};

// The first dropped item when it is a local file; an empty URL otherwise.
QUrl droppedFile(const QMimeData *data);
// Takes a drop of a local file and loads it once the drop has finished (the drag source is not
// kept waiting); anything else is left alone.
void loadDroppedFile(QDropEvent *event, PlayerManager &playerManager, QObject *context);
