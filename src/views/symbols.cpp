#include "views/symbols.h"

#include <QFile>
#include <QIconEngine>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace symbols {
namespace {

QString resourcePath(const QString &name) {
    return QStringLiteral(":/symbols/%1.svg").arg(name);
}

// Renders the symbol's shape, then paints the colour through it.
class SymbolIconEngine : public QIconEngine {
public:
    SymbolIconEngine(const QString &name, const QColor &color)
        : name_(name), color_(color),
          renderer_(std::make_shared<QSvgRenderer>(resourcePath(name))) {}

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State) override {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        painter->drawPixmap(rect, render(rect.size(), mode, ratio));
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State) override {
        return render(size, mode, 1.0);
    }

    QPixmap scaledPixmap(const QSize &size, QIcon::Mode mode, QIcon::State, qreal scale) override {
        return render(size, mode, scale);
    }

    QIconEngine *clone() const override { return new SymbolIconEngine(*this); }
    QString key() const override { return QStringLiteral("SonavelSymbol"); }
    QString iconName() override { return name_; }

private:
    QPixmap render(QSize size, QIcon::Mode mode, qreal ratio) const {
        const QSize pixels = size * ratio;
        QPixmap pixmap(pixels);
        pixmap.fill(Qt::transparent);
        if (pixels.isEmpty())
            return pixmap;
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        // Keep the symbol square and centred whatever the shape of the space it gets.
        const int side = qMin(pixels.width(), pixels.height());
        renderer_->render(&painter, QRectF((pixels.width() - side) / 2.0,
                                           (pixels.height() - side) / 2.0, side, side));
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        QColor color = color_;
        if (mode == QIcon::Disabled)
            color.setAlphaF(color.alphaF() * 0.35);
        painter.fillRect(pixmap.rect(), color);
        painter.end();
        pixmap.setDevicePixelRatio(ratio);
        return pixmap;
    }

    QString name_;
    QColor color_;
    std::shared_ptr<QSvgRenderer> renderer_;
};

} // namespace

QIcon icon(const QString &name, const QColor &color) {
    return QIcon(new SymbolIconEngine(name, color));
}

bool exists(const QString &name) {
    return QFile::exists(resourcePath(name));
}

} // namespace symbols
