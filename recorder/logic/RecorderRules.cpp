// SPDX-License-Identifier: MIT
#include "RecorderRules.h"

namespace dmm {

long long cursorIndex(int cursorPoint, std::size_t entries, int lastPage, int shownPage,
                      int pageSize)
{
    return cursorPoint + static_cast<long long>(entries) -
           static_cast<long long>(pageSize) * (lastPage - shownPage + 1);
}

} // namespace dmm
