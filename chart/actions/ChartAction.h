// SPDX-License-Identifier: MIT
// The chart's actions, by the code its RunAction takes. Apart from the chart
// itself so that logic without widgets can name them.
#pragma once

namespace dmm {

enum class ChartAction : int
{
    Rebuild = 0,      // re-read the properties and data, rebuild the image, repaint
    RebuildImage = 2, // rebuild the image (applies ViewingStyle around printing)
    Print = 8,        // print the chart
    CopyMetafile = 12,
    WriteMetafile = 13,
    CopyBitmap = 14,
    WriteBitmap = 15,
    PrintImage = 18, // print the image (export to the printer)
    UndoZoom = 19,
};

} // namespace dmm
