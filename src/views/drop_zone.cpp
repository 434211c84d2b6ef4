#include "views/drop_zone.h"

#include "i18n/localization.h"
#include "playback/local_file.h"
#include "playback/player_manager.h"
#include "views/accessibility.h"
#include "views/open_panel.h"
#include "views/style.h"
#include "views/symbols.h"

#include <QDragEnterEvent>
#include <QLabel>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

QUrl droppedFile(const QMimeData *data) {
    if (!data || !data->hasUrls() || data->urls().isEmpty())
        return {};
    return local_file::fromUrl(data->urls().first());
}

void loadDroppedFile(QDropEvent *event, PlayerManager &playerManager, QObject *context) {
    const QUrl file = droppedFile(event->mimeData());
    if (file.isEmpty())
        return;
    event->acceptProposedAction();
    QMetaObject::invokeMethod(
        context, [&playerManager, file] { playerManager.openFile(file); }, Qt::QueuedConnection);
}

DropZone::DropZone(PlayerManager &playerManager, QWidget *parent)
    : QWidget(parent), playerManager_(playerManager) {
    setAcceptDrops(true);
    setMinimumSize(400, 200);

    auto *symbol = new QLabel(this);
    symbol->setPixmap(symbols::icon(QStringLiteral("play.circle"), style::gray())
                          .pixmap(QSize(60, 60), devicePixelRatioF()));
    accessibility::setDecorative(symbol, true);
    const auto grayText = [this](const QString &text, TextStyle textStyle) {
        auto *label = new QLabel(text, this);
        label->setFont(style::font(textStyle));
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, style::gray());
        label->setPalette(palette);
        return label;
    };
    auto *openButton = new QPushButton(L.get(u"openFile"), this);
    openButton->setObjectName(QStringLiteral("openFileButton"));
    openButton->setCursor(Qt::PointingHandCursor);
    openButton->setStyleSheet(
        QStringLiteral("QPushButton { background: %1; color: white; border: none; outline: none; "
                       "border-radius: 6px; padding: 5px 16px; }"
                       "QPushButton:hover { background: %2; }"
                       "QPushButton:pressed { background: %3; }"
                       // White on the blue and on the window alike, for the keyboard's focus.
                       "QPushButton:focus { border: 2px solid white; padding: 3px 14px; }")
            .arg(style::blue().name(), style::blue().lighter(112).name(),
                 style::blue().darker(115).name()));
    accessibility::pressByKeys(openButton);
    connect(openButton, &QPushButton::clicked, this, &DropZone::openFile);

    auto *stack = new QVBoxLayout(this);
    stack->setSpacing(20);
    stack->addStretch(1);
    stack->addWidget(symbol, 0, Qt::AlignHCenter);
    stack->addWidget(grayText(L.get(u"dragFile"), TextStyle::title2), 0, Qt::AlignHCenter);
    stack->addWidget(grayText(L.get(u"or"), TextStyle::body), 0, Qt::AlignHCenter);
    stack->addWidget(openButton, 0, Qt::AlignHCenter);
    stack->addStretch(1);
}

void DropZone::openFile() {
    const QUrl chosen = open_panel::chooseMediaFile(window());
    if (!chosen.isEmpty())
        playerManager_.loadMedia(chosen);
}

void DropZone::paintEvent(QPaintEvent *) {
    QColor background = isTargeted_ ? style::blue() : style::controlBackground();
    background.setAlphaF(isTargeted_ ? 0.2 : 0.3);
    QPainter painter(this);
    painter.fillRect(rect(), style::windowBackground());
    painter.fillRect(rect(), background);
}

void DropZone::dragEnterEvent(QDragEnterEvent *event) {
    if (droppedFile(event->mimeData()).isEmpty())
        return;
    event->acceptProposedAction();
    setTargeted(true);
}

void DropZone::dragLeaveEvent(QDragLeaveEvent *) {
    setTargeted(false);
}

void DropZone::dropEvent(QDropEvent *event) {
    setTargeted(false);
    loadDroppedFile(event, playerManager_, this);
}

void DropZone::setTargeted(bool targeted) {
    if (isTargeted_ == targeted)
        return;
    isTargeted_ = targeted;
    update();
}
