#include "views/playlist_row_delegate.h"

#include "views/focus_ring_style.h"
#include "views/name_text.h"
#include "views/playlist_model.h"
#include "views/style.h"
#include "views/symbols.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace {

constexpr int sideMargin = 10;
constexpr int rowPadding = 4;
constexpr int indicatorWidth = 16;
constexpr int spacing = 8;

} // namespace

QSize PlaylistRowDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const {
    const QFontMetrics body(style::font(TextStyle::body));
    return QSize(0, body.height() + 2 * rowPadding + 4);
}

void PlaylistRowDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                const QModelIndex &index) const {
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QRect row = option.rect.adjusted(sideMargin, rowPadding, -sideMargin, -rowPadding);
    const bool isCurrent = index.data(PlaylistModel::IsCurrentRole).toBool();

    // Wide enough for the largest number in the list, so 10,000 and up are not clipped.
    const QFontMetrics numberMetrics(style::font(TextStyle::caption));
    const int numberWidth =
        numberMetrics.horizontalAdvance(QString::number(index.model()->rowCount())) + 2;
    const QRect indicator(row.left(), row.top(), std::max(indicatorWidth, numberWidth),
                          row.height());
    if (isCurrent) {
        const QString symbol = index.data(PlaylistModel::IsPlayingRole).toBool()
                                   ? QStringLiteral("speaker.wave.2.fill")
                                   : QStringLiteral("speaker.fill");
        const int side = QFontMetrics(style::font(TextStyle::caption)).height();
        symbols::icon(symbol, style::blue())
            .paint(painter,
                   QRect(indicator.center() - QPoint(side / 2, side / 2), QSize(side, side)));
    } else {
        painter->setFont(style::font(TextStyle::caption));
        painter->setPen(style::secondary());
        painter->drawText(indicator, Qt::AlignCenter, QString::number(index.row() + 1));
    }

    const QFont badgeFont = style::font(TextStyle::caption2);
    const QString extension = index.data(PlaylistModel::ExtensionRole).toString();
    const QFontMetrics badgeMetrics(badgeFont);
    const QSize badgeSize(badgeMetrics.horizontalAdvance(extension) + 12,
                          badgeMetrics.height() + 4);
    const QRect badge(
        QPoint(row.right() - badgeSize.width() + 1, row.center().y() - badgeSize.height() / 2),
        badgeSize);
    if (!extension.isEmpty()) {
        QPainterPath rounded;
        rounded.addRoundedRect(badge, 4, 4);
        painter->fillPath(rounded, style::controlBackground());
        painter->setFont(badgeFont);
        painter->setPen(style::secondary());
        painter->drawText(badge, Qt::AlignCenter, extension);
    }

    QFont titleFont = style::font(TextStyle::body);
    titleFont.setWeight(isCurrent ? QFont::DemiBold : QFont::Normal);
    painter->setFont(titleFont);
    painter->setPen(isCurrent ? style::blue() : style::primary());
    const QRect title(indicator.right() + 1 + spacing, row.top(),
                      badge.left() - spacing - indicator.right() - 1 - spacing, row.height());
    const QString text = QFontMetrics(titleFont).elidedText(
        shownFileName(index.data(PlaylistModel::TitleRole).toString()), Qt::ElideRight,
        title.width());
    painter->drawText(title, Qt::AlignLeft | Qt::AlignVCenter, text);
    painter->restore();
    // The keyboard's place, when the list has the focus.
    if (option.state.testFlag(QStyle::State_HasFocus))
        FocusRingStyle::paintRing(painter,
                                  option.rect.adjusted(sideMargin / 2, 1, -sideMargin / 2, -1));
}
