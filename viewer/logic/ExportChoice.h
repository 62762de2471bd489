// SPDX-License-Identifier: MIT
// What the export dialog gathers, and the arithmetic behind its size edits.
#pragma once

#include <QString>

#include <functional>
#include <optional>
#include <string_view>

#include "ChartAction.h"
#include "ExportPages.h"

namespace dmm {

enum class ExportType
{
    MetaFile, // an SVG picture (and a bitmap beside it on the clipboard)
    BitMap,   // a BMP picture
    Text,     // comma-separated lines
};

enum class ExportDestination
{
    ClipBoard,
    File,
    Printer,
};

enum class PageScope
{
    AllPages,
    ThisPage,
    Pages, // editPageFrom … editPageTo
};

enum class SizeUnit
{
    Pixels,
    Millimeters,
    Inches,
    Points,
};

// Default picture sizes in the stored unit: pixels for a bitmap, hundredths of
// a millimetre (100 by 68.1 mm) for a metafile.
inline constexpr double kBitmapWidth = 1000.0;
inline constexpr double kBitmapHeight = 681.0;
inline constexpr double kMetafileWidth = 10000.0;
inline constexpr double kMetafileHeight = 6810.0;

struct ExportChoice
{
    ExportType type = ExportType::Text;
    ExportDestination destination = ExportDestination::File;
    QString fileName; // full path; empty when none was chosen
    PageScope scope = PageScope::ThisPage;
    QString pageFromText;
    QString pageToText;
    std::optional<int> pageFrom; // empty when the text is not a decimal integer
    std::optional<int> pageTo;
    double width = 0.0; // pixels for a bitmap, hundredths of a millimetre for a metafile
    double height = 0.0;

    bool isPicture() const { return type != ExportType::Text; }
    // File chosen as destination without a file name: nothing may be exported.
    bool missingFileName() const
    {
        return destination == ExportDestination::File && fileName.isEmpty();
    }
    // The sizes handed to the chart: cut toward zero.
    int actionWidth() const;
    int actionHeight() const;
};

// A stored size cut toward zero for the chart. Values outside what an int
// holds (or below zero, or not a number) become 0 or the int maximum instead
// of overflowing; 0 asks the chart for its default size.
int actionSize(double value);

// The recorder's pages an export covers.
struct ExportPages
{
    PageRange pages; // limited to 1 … lastPage
    // When the From or To text had to be read and is not a decimal integer:
    // that text; the export stops after reporting it.
    std::optional<QString> badPageText;
};

// Text: This Page = shownPage, Page = From … To, All Pages = 1 … lastPage.
// Pictures: shownPage for the clipboard and a file; the scope's pages for the
// printer.
ExportPages exportPages(const ExportChoice& choice, int shownPage, int lastPage);

// The chart action that puts a picture where the choice says: 14 / 12 a bitmap
// / metafile on the clipboard, 15 / 13 into the file. The printer has its own
// sequence of actions, so it gives 0.
ChartAction pictureAction(const ExportChoice& choice);

// What the size edits show for a stored size: millimetres = stored × 0.01,
// inches = stored / 2540; pixels and points show it unconverted.
double shownSize(double stored, SizeUnit unit);
// The edit's text: the general conversion of shownSize.
QString shownSizeText(double stored, SizeUnit unit, char separator);

// The stored size for a typed text, or nothing when the text is not a number:
// with the bitmap type or in pixels or points the value itself, millimetres ×
// 100, inches × 2540. Worked out in extended precision from the text, so
// 68.1 mm is 6810 exactly while the shown inches 2.68110236220472 give back
// 6809.9999999999888.
std::optional<double> storedSize(std::string_view text, SizeUnit unit, bool bitmap, char separator);

// The file name as stxFileName shows it: whole when it fits, otherwise its
// first 3 characters, "..." and as many of its last characters as fit, at
// least 24.
QString shortenFileName(const QString& fileName, const std::function<bool(const QString&)>& fits);
// The same where the field holds 30 characters: whole up to 30, longer names
// as their first 3 characters, "..." and their last 24.
QString shortenFileName(const QString& fileName);

} // namespace dmm
