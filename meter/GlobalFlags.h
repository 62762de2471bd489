// SPDX-License-Identifier: MIT
// The two program-wide flags that several windows read.
#pragma once

namespace dmm {

// 1 once the acquisition loop has decoded a frame since the link was made,
// 0 after the link is released. The recorder will not start logging while 0.
extern int bDataValid;
// Set while the recorder loads a file; the link controls are disabled then.
extern bool bBusy;

} // namespace dmm
