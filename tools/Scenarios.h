// SPDX-License-Identifier: MIT
// The simulator's built-in meter behaviours.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "SimSteps.h"

namespace dmm::sim {

// sweep, overload, blank, negative, lowbat, silence, partial, garbage, steady,
// battery-volts, battery-amps, all.
const std::vector<std::string>& scenarioNames();

// One pass of the scenario; the simulator repeats it unless told to stop.
// No value for an unknown name.
std::optional<SimSteps> scenarioSteps(std::string_view name);

} // namespace dmm::sim
