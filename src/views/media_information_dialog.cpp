#include "views/media_information_dialog.h"

#include "i18n/localization.h"
#include "playback/media_information.h"
#include "playback/player_manager.h"
#include "views/state_observer.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

MediaInformationDialog::MediaInformationDialog(PlayerManager &playerManager, QWidget *parent)
    : QDialog(parent), playerManager_(playerManager) {
    setObjectName(QStringLiteral("mediaInformation"));
    const Localization &L = Localization::shared();
    // The menu item's name without its ellipsis.
    setWindowTitle(L.get(u"mediaInformation").remove(QStringLiteral("...")));
    auto *layout = new QVBoxLayout(this);
    rows_ = new QFormLayout;
    rows_->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    layout->addLayout(rows_);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    layout->addWidget(buttons);
    setMinimumWidth(420);

    rereading_.setInterval(1000);
    connect(&rereading_, &QTimer::timeout, this, &MediaInformationDialog::refresh);
    new StateObserver(playerManager_, this, [this] {
        if (isVisible())
            refresh();
    });
}

void MediaInformationDialog::showEvent(QShowEvent *event) {
    refresh();
    rereading_.start();
    QDialog::showEvent(event);
}

void MediaInformationDialog::hideEvent(QHideEvent *event) {
    rereading_.stop();
    QDialog::hideEvent(event);
}

void MediaInformationDialog::refresh() {
    const Localization &L = Localization::shared();
    QList<QPair<QString, QString>> rows =
        mediaInformationRows(playerManager_.mediaInformation(), L);
    if (rows.isEmpty())
        rows.append({QString(), L.get(u"nothingPlaying")});
    // Rows are kept while their labels stay, so a selection or the focus is not lost.
    const bool sameRows = [&] {
        if (rows_->rowCount() != rows.size())
            return false;
        for (int row = 0; row < rows.size(); ++row) {
            auto *label =
                qobject_cast<QLabel *>(rows_->itemAt(row, QFormLayout::LabelRole)
                                           ? rows_->itemAt(row, QFormLayout::LabelRole)->widget()
                                           : nullptr);
            if ((label ? label->text() : QString()) != rows[row].first)
                return false;
        }
        return true;
    }();
    if (!sameRows) {
        while (rows_->rowCount() > 0)
            rows_->removeRow(0);
        for (const auto &[name, value] : rows) {
            auto *field = new QLabel(this);
            field->setTextFormat(Qt::PlainText);
            field->setWordWrap(true);
            field->setTextInteractionFlags(Qt::TextSelectableByMouse |
                                           Qt::TextSelectableByKeyboard);
            field->setFocusPolicy(Qt::StrongFocus);
            if (name.isEmpty()) {
                rows_->addRow(field);
            } else {
                auto *label = new QLabel(name, this);
                label->setBuddy(field);
                rows_->addRow(label, field);
            }
        }
    }
    for (int row = 0; row < rows.size(); ++row) {
        QLayoutItem *item = rows_->itemAt(row, rows[row].first.isEmpty() ? QFormLayout::SpanningRole
                                                                         : QFormLayout::FieldRole);
        auto *field = qobject_cast<QLabel *>(item ? item->widget() : nullptr);
        if (!field || field->text() == rows[row].second)
            continue;
        field->setText(rows[row].second);
        // A reader says the row's label with its value, as the eye reads the row.
        field->setAccessibleName(
            rows[row].first.isEmpty()
                ? rows[row].second
                : QStringLiteral("%1: %2").arg(rows[row].first, rows[row].second));
    }
    // Long codec names wrap onto rows of their own height.
    adjustSize();
}
