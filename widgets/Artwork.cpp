// SPDX-License-Identifier: MIT
#include "Artwork.h"

#include <QColor>
#include <QFile>
#include <QPainter>
#include <QSvgRenderer>

namespace dmm {

namespace {

QString artworkPath(const QString& name)
{
    return QStringLiteral(":/art/%1.svg").arg(name);
}

} // namespace

QPixmap artworkPixmap(const QString& name, QSize size, qreal devicePixelRatio)
{
    const QSize pixels = (QSizeF(size) * devicePixelRatio).toSize();
    QPixmap pixmap(pixels.expandedTo(QSize(1, 1)));
    pixmap.setDevicePixelRatio(devicePixelRatio);
    // A picture still being drawn is simply absent: no renderer warning for it.
    const QString path = artworkPath(name);
    QSvgRenderer renderer;
    if (!QFile::exists(path) || !renderer.load(path)) {
        pixmap.fill(QColor(0xc0, 0xc0, 0xc0));
        return pixmap;
    }
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return pixmap;
}

QIcon artworkIcon(const QString& name, const QString& disabledName)
{
    QIcon icon;
    for (const int side : {16, 24, 32, 48})
        icon.addPixmap(artworkPixmap(name, QSize(side, side)));
    if (!disabledName.isEmpty())
        for (const int side : {16, 24, 32})
            icon.addPixmap(artworkPixmap(disabledName, QSize(side, side)), QIcon::Disabled);
    return icon;
}

} // namespace dmm
