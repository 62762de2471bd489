// SPDX-License-Identifier: MIT
// The state of the link-related controls for a link state and a busy state.
#pragma once

namespace dmm {

struct LinkControlsState
{
    int linkMenuCaption = 600; // string entry: "&Link" or "Un&link" (601)
    bool linkMenuEnabled = true;
    bool portAndHelpMenusEnabled = true;
    int linkButtonHint = 1000; // "Link to DMM" or "Unlink DMM" (1001)
    bool linkButtonEnabled = true;
    bool portAndAboutButtonsEnabled = true;
    bool operator==(const LinkControlsState&) const = default;
};

LinkControlsState linkControlsState(bool linked, bool busy);

} // namespace dmm
