// SPDX-License-Identifier: MIT
#include "ExportChoice.h"

#include "NumberText.h"

#include <QList>

#include <charconv>
#include <climits>
#include <cmath>
#include <string>

namespace dmm {

int ExportChoice::actionWidth() const
{
    return actionSize(width);
}

int ExportChoice::actionHeight() const
{
    return actionSize(height);
}

int actionSize(double value)
{
    if (!(value > 0.0))
        return 0;
    if (value >= static_cast<double>(INT_MAX))
        return INT_MAX;
    return static_cast<int>(value); // toward zero
}

ExportPages exportPages(const ExportChoice& choice, int shownPage, int lastPage)
{
    ExportPages result;
    PageScope scope = choice.scope;
    if (choice.isPicture() && choice.destination != ExportDestination::Printer)
        scope = PageScope::ThisPage;
    switch (scope) {
    case PageScope::ThisPage:
        result.pages = {shownPage, shownPage};
        break;
    case PageScope::AllPages:
        result.pages = {1, lastPage};
        break;
    case PageScope::Pages:
        if (!choice.pageFrom) {
            result.badPageText = choice.pageFromText;
            result.pages = {};
            return result;
        }
        if (!choice.pageTo) {
            result.badPageText = choice.pageToText;
            result.pages = {};
            return result;
        }
        result.pages = {*choice.pageFrom, *choice.pageTo};
        break;
    }
    result.pages = limitPages(result.pages, lastPage);
    return result;
}

double shownSize(double stored, SizeUnit unit)
{
    switch (unit) {
    case SizeUnit::Millimeters:
        return stored * 0.01;
    case SizeUnit::Inches:
        return stored * 0.0003937007874015748; // 1 / 2540
    case SizeUnit::Pixels:
    case SizeUnit::Points:
        break;
    }
    return stored;
}

QString shownSizeText(double stored, SizeUnit unit, char separator)
{
    return QString::fromStdString(formatGeneral(shownSize(stored, unit), 15, separator));
}

std::optional<double> storedSize(std::string_view text, SizeUnit unit, bool bitmap, char separator)
{
    const std::optional<double> number = parseDecimal(text, separator);
    if (!number)
        return std::nullopt;
    long double factor = 1.0L;
    if (!bitmap) {
        if (unit == SizeUnit::Millimeters)
            factor = 100.0L;
        else if (unit == SizeUnit::Inches)
            factor = 2540.0L;
    }
    if (factor == 1.0L)
        return number;

    // Read the text again with the extended type: in doubles 68.1 × 100 is
    // 6809.999999999999, which a chart size would cut to 6809.
    std::string plain;
    plain.reserve(text.size());
    for (const char c : text) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '+')
            continue;
        plain += c == separator ? '.' : c;
    }
    long double extended = 0.0L;
    const auto [end, error] = std::from_chars(plain.data(), plain.data() + plain.size(), extended);
    if (error != std::errc() || end != plain.data() + plain.size())
        return *number * static_cast<double>(factor);
    return static_cast<double>(extended * factor);
}

QString shortenFileName(const QString& fileName, const std::function<bool(const QString&)>& fits)
{
    if (fits(fileName))
        return fileName;
    // Counted in characters, so a name is never cut inside a surrogate pair.
    const QList<uint> characters = fileName.toUcs4();
    const auto text = [](const QList<uint>& part) {
        return QString::fromUcs4(reinterpret_cast<const char32_t*>(part.constData()), part.size());
    };
    const QString head =
        text(characters.first(std::min<qsizetype>(3, characters.size()))) + QStringLiteral("...");
    qsizetype tail = std::min<qsizetype>(24, characters.size());
    while (tail < characters.size() - 3 && fits(head + text(characters.last(tail + 1))))
        ++tail;
    return head + text(characters.last(tail));
}

QString shortenFileName(const QString& fileName)
{
    return shortenFileName(fileName,
                           [](const QString& shown) { return shown.toUcs4().size() <= 30; });
}

ChartAction pictureAction(const ExportChoice& choice)
{
    const bool bitmap = choice.type == ExportType::BitMap;
    switch (choice.destination) {
    case ExportDestination::ClipBoard:
        return bitmap ? ChartAction::CopyBitmap : ChartAction::CopyMetafile;
    case ExportDestination::File:
        return bitmap ? ChartAction::WriteBitmap : ChartAction::WriteMetafile;
    case ExportDestination::Printer:
        break;
    }
    return ChartAction::Rebuild;
}

} // namespace dmm
