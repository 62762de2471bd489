// SPDX-License-Identifier: MIT
// The buffer index under the recorder chart's cursor. The scale, the
// extremes and the pages are in RecordSummary.h.
#pragma once

#include <cstddef>

#include "RecordSummary.h"

namespace dmm {

// The buffer index shown at chart point `cursorPoint`; negative on an empty
// slot of the partial oldest page.
long long cursorIndex(int cursorPoint, std::size_t entries, int lastPage, int shownPage,
                      int pageSize);

} // namespace dmm
