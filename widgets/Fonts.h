// SPDX-License-Identifier: MIT
// The faces the program names, mapped to the fonts Debian installs.
#pragma once

namespace dmm {

// "Arial" and "MS Sans Serif" to Liberation Sans / DejaVu Sans, "Times New
// Roman" to Liberation Serif, "Courier New" to Liberation Mono.
void installFontSubstitutions();

} // namespace dmm
