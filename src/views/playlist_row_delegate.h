#pragma once

#include <QStyledItemDelegate>

// Draws a playlist row: position number or speaker for the current row, title, and the
// extension badge at the right.
class PlaylistRowDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};
