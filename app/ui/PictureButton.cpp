// SPDX-License-Identifier: MIT
#include "PictureButton.h"

#include <QToolButton>

#include "Artwork.h"

namespace dmm {

QToolButton* makePictureButton(QWidget* parent, const QString& art, const QString& hint,
                               const QString& disabledArt)
{
    auto* button = new QToolButton(parent);
    button->setAutoRaise(true);
    button->setIcon(artworkIcon(art, disabledArt));
    button->setIconSize(QSize(16, 16));
    button->setToolTip(hint);
    button->setAccessibleName(hint);
    return button;
}

} // namespace dmm
