// SPDX-License-Identifier: MIT
#include "AcquisitionLoop.h"
