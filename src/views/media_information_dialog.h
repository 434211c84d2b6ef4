#pragma once

#include <QDialog>
#include <QTimer>

class PlayerManager;
class QFormLayout;

// What the loaded file is made of, the decoder in use among it: a window of plain rows whose
// values can be selected and copied, and are reached with Tab. It follows each new file, and
// reads again every second while shown (the decoder settles after the first pictures).
class MediaInformationDialog : public QDialog {
    Q_OBJECT
public:
    MediaInformationDialog(PlayerManager &playerManager, QWidget *parent);

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void refresh();

    PlayerManager &playerManager_;
    QFormLayout *rows_;
    QTimer rereading_;
};
