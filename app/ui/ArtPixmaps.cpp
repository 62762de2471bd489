// SPDX-License-Identifier: MIT
#include "ArtPixmaps.h"

#include <QPainter>
#include <QSvgRenderer>

static void initArtworkResources()
{
    Q_INIT_RESOURCE(artwork);
}

namespace dmm {

QPixmap artPixmap(const QString& name, QSize size)
{
    initArtworkResources();
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QSvgRenderer renderer(QStringLiteral(":/art/%1.svg").arg(name));
    QPainter painter(&pixmap);
    if (renderer.isValid())
        renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    else
        painter.fillRect(pixmap.rect(), QColor(0xc0, 0xc0, 0xc0));
    return pixmap;
}

QIcon artIcon(const QString& name, const QString& disabledName)
{
    QIcon icon;
    for (int side : {16, 24, 32, 48, 64})
        icon.addPixmap(artPixmap(name, QSize(side, side)), QIcon::Normal);
    if (!disabledName.isEmpty())
        for (int side : {16, 24, 32})
            icon.addPixmap(artPixmap(disabledName, QSize(side, side)), QIcon::Disabled);
    return icon;
}

} // namespace dmm
