// SPDX-License-Identifier: MIT
#include "PanelFaces.h"

#include "MeterFunction.h"

namespace dmm {

PanelStyle prefixPanelStyle(int function)
{
    if (isTemperature(asFunction(function)))
        return {PanelFace::Symbol, Qt::AlignRight | Qt::AlignVCenter};
    return {PanelFace::Arial, Qt::AlignCenter};
}

PanelStyle unitPanelStyle(int function)
{
    if (isTemperature(asFunction(function)))
        return {PanelFace::Arial, Qt::AlignLeft | Qt::AlignVCenter};
    if (isResistance(asFunction(function)))
        return {PanelFace::Symbol, Qt::AlignCenter};
    return {PanelFace::Arial, Qt::AlignCenter};
}

QString faceText(const QString& text, PanelFace face)
{
    if (face != PanelFace::Symbol)
        return text;
    QString shown = text;
    shown.replace(QLatin1Char('W'), QChar(0x03A9)); // Ω
    shown.replace(QLatin1Char('m'), QChar(0x00B5)); // µ
    return shown;
}

QString arialFamily()
{
    return QStringLiteral("Arial");
}

} // namespace dmm
