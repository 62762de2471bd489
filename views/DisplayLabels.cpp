// SPDX-License-Identifier: MIT
#include "DisplayLabels.h"

#include <QLabel>

namespace dmm {

QLabel* makeDisplayLabel(QWidget* parent, const char* objectName, const QFont& font,
                         Qt::Alignment alignment)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(objectName));
    label->setAutoFillBackground(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, Qt::black);
    palette.setColor(QPalette::WindowText, QColor(0x00, 0xff, 0x00)); // lime
    label->setPalette(palette);
    label->setFont(font);
    label->setAlignment(alignment);
    return label;
}

void showInFace(QLabel* label, const QString& text, const PanelStyle& style)
{
    // The symbol face is drawn as Unicode signs in the ordinary family.
    QFont font = label->font();
    font.setFamily(arialFamily());
    if (label->font() != font)
        label->setFont(font);
    if (label->alignment() != style.alignment)
        label->setAlignment(style.alignment);
    const QString shown = faceText(text, style.face);
    if (label->text() != shown)
        label->setText(shown);
}

} // namespace dmm
