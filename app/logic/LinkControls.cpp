// SPDX-License-Identifier: MIT
#include "LinkControls.h"

namespace dmm {

LinkControlsState linkControlsState(bool linked, bool busy)
{
    LinkControlsState s;
    s.linkMenuCaption = linked ? 601 : 600;
    s.linkMenuEnabled = !busy;
    s.portAndHelpMenusEnabled = !linked && !busy;
    s.linkButtonHint = linked ? 1001 : 1000;
    s.linkButtonEnabled = !busy;
    s.portAndAboutButtonsEnabled = !linked && !busy;
    return s;
}

} // namespace dmm
