// SPDX-License-Identifier: MIT
// Which face and alignment the prefix and unit panels use for a function code.
// The meter's texts use "W" for the ohm sign, which the symbol face draws as
// Omega; we draw the Unicode sign in the ordinary face instead.
#pragma once

#include <QString>
#include <Qt>

namespace dmm {

enum class PanelFace
{
    Arial,
    Symbol
};

struct PanelStyle
{
    PanelFace face = PanelFace::Arial;
    Qt::Alignment alignment = Qt::AlignCenter;
    bool operator==(const PanelStyle&) const = default;
};

// Prefix panels: "Arial" centred; temperature (32, 64) in the symbol face, right-justified.
PanelStyle prefixPanelStyle(int function);
// Unit panels: "Arial" centred; temperature left-justified; resistance (128, 384) in the symbol
// face.
PanelStyle unitPanelStyle(int function);
// The text as the face shows it: in the symbol face "W" is the ohm sign and "m" is micro.
QString faceText(const QString& text, PanelFace face);
// The font family that stands for "Arial" on this system.
QString arialFamily();

} // namespace dmm
