// SPDX-License-Identifier: MIT
#include "Fonts.h"

#include <QFont>
#include <QStringList>

namespace dmm {

void installFontSubstitutions()
{
    const auto substitute = [](const char* face, const char* first, const char* second) {
        QFont::insertSubstitutions(QString::fromLatin1(face), QStringList()
                                                                  << QString::fromLatin1(first)
                                                                  << QString::fromLatin1(second));
    };
    substitute("Arial", "Liberation Sans", "DejaVu Sans");
    // Liberation Sans is metrically close to the narrow dialog face, so texts fit their designed
    // widths.
    substitute("MS Sans Serif", "Liberation Sans", "DejaVu Sans");
    substitute("Times New Roman", "Liberation Serif", "DejaVu Serif");
    substitute("Courier New", "Liberation Mono", "DejaVu Sans Mono");
}

} // namespace dmm
