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

QLabel* makeColouredPanel(QWidget* parent, const char* objectName, const QColor& colour,
                          const QFont& font, int width, Qt::Alignment alignment)
{
    QLabel* label = makeDisplayLabel(parent, objectName, font, alignment);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    if (width > 0)
        label->setFixedWidth(width);
    return label;
}

QLabel* makeColouredCaption(QWidget* parent, const QString& text, const QColor& colour)
{
    auto* label = new QLabel(text, parent);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
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
