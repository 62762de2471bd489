// SPDX-License-Identifier: MIT
// The recorder's files: open, save and export.
#include "GraphicalForm.h"

namespace dmm {

void TGraphicalForm::sbtnOpenFileClick() {}

bool TGraphicalForm::sbtnSaveFileClick()
{
    return false;
}

void TGraphicalForm::sbtnExportClick() {}

} // namespace dmm
