// SPDX-License-Identifier: MIT
#include "GlobalFlags.h"

namespace dmm {

int bDataValid = 0;
bool bBusy = false;

} // namespace dmm
