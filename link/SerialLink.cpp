// SPDX-License-Identifier: MIT
#include "SerialLink.h"
