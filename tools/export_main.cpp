// SPDX-License-Identifier: MIT
// dmm-export: a recording in, the recorder's text export out, byte for byte
// what the export dialog writes; or the data list's lines, or what the
// recorder holds after opening the file. The file is opened, counted and
// paged by the recorder's own code, so the numbers agree with the window's.

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "AtomicFile.h"
#include "DataListLine.h"
#include "DurationText.h"
#include "ExportOutput.h"
#include "ExportPages.h"
#include "ExportText.h"
#include "FileChecks.h"
#include "JoinCommand.h"
#include "JsonLine.h"
#include "RecordDates.h"
#include "RecordFile.h"
#include "RecordRuns.h"
#include "RecordSummary.h"
#include "SignalPipe.h"
#include "StatsCommand.h"
#include "TableCommand.h"
#include "TerminalProgress.h"

namespace {

using namespace dmm;
using namespace dmm::exporttool;

constexpr int kExitOk = 0;
constexpr int kExitUsage = 2;

const char* const kUsage =
    "Usage: dmm-export [--pages P | --pages A-B] [--list | --info] [--quiet] [-o OUT] FILE\n"
    "       dmm-export --table [--date YYYY-MM-DD] [--separator C] [--decimal-comma]\n"
    "                  [--quiet] [-o OUT] FILE\n"
    "       dmm-export --table [table options] [--power A*B] [-o OUT] FILE FILE...\n"
    "       dmm-export --stats [--every DURATION] [--separator C] [--decimal-comma]\n"
    "                  [--utc] [-o OUT] FILE...\n"
    "Run \"dmm-export --help\" for details.\n";

const char* const kDescription =
    "Writes a recording of the data logger as text, exactly as the logger would:\n"
    "FILE is opened as the recorder's Open opens it (a name containing \".g51\" in\n"
    "exactly that case holds 68-byte records, any other file 76-byte records; the\n"
    "bytes of a trailing incomplete record are ignored).\n"
    "\n"
    "Without --list or --info the output is the recorder's text export of All\n"
    "Pages, byte for byte the file the export dialog writes: one line per reading,\n"
    "  number,time stamp,value[,sub-display] CR LF\n"
    "numbered over the whole recording, the value in 7 significant digits.\n"
    "\n"
    "Pages hold 200 readings counted back from the newest, so the oldest page is\n"
    "the partial one; after opening N readings there are N / 200 + 1 pages. With\n"
    "--pages only those pages are written, the range limited to the pages that\n"
    "exist as the export dialog does (0-9 of 3 pages writes pages 1 to 3; a range\n"
    "wholly outside writes nothing).\n"
    "\n"
    "--list writes the data list window's lines instead, one per line ending in\n"
    "LF (\"1, 14:05:09.3  ,1.234mV\"); --pages selects lines as for the export.\n"
    "\n"
    "--info writes one JSON object with what the recorder holds after opening the\n"
    "file: records, lastPage, maxIndex and minIndex (the readings with the largest\n"
    "and smallest value, 0-based), scaleMaxY and scaleMinY (the chart's Y scale,\n"
    "in the shortest form that reads back as the same single-precision float;\n"
    "null for a scale that overflowed), firstTime and lastTime (the first and the\n"
    "last reading's local date and time, ISO 8601) with firstTimeStamped and\n"
    "lastTimeStamped (true: the reading's own date stamp; false: inferred, see\n"
    "--table).\n"
    "\n"
    "--table writes a table for spreadsheets instead: a header line\n"
    "  time,value,unit,display,subdisplay\n"
    "then one line per reading ending in LF, UTF-8: the local date and time\n"
    "(ISO 8601), the value in SI base units (farads, not microfarads), the SI unit\n"
    "(V, A, \u03A9, F, Hz, VA, \u00B0C, \u00B0F or empty), the value text with its\n"
    "prefix, the sub-display text. Readings logged by this program carry their\n"
    "date; for others it is inferred: the file's modification date is the date of\n"
    "the last reading (--date gives the first reading's date instead), and a day\n"
    "passes wherever the time of day goes backwards. A closing line on standard\n"
    "error says when dates were inferred. --separator sets the field separator\n"
    "(one character, or \"tab\"), --decimal-comma writes values and the display\n"
    "texts' point with a comma (\"-2,400\"), --utc writes the times in UTC ending\n"
    "in Z (without it: local time, no zone).\n"
    "An overload has an empty value; its display text shows the meter's O.L.\n"
    "\n"
    "--table with several recordings joins them into one table by time: a row\n"
    "per moment, readings within 250 ms of the row's first sharing it, every\n"
    "reading in exactly one row. The columns are time, then NAME value, NAME\n"
    "unit, NAME display and NAME subdisplay per recording, NAME its file's name\n"
    "without folder and extension; cells stay empty where a recording has no\n"
    "reading in the row. --power V*A adds power (W), energy (Wh) and charge (Ah)\n"
    "of the DC volt recording V and the DC ampere recording A, energy and charge\n"
    "integrated by trapezoids from the first row.\n"
    "\n"
    "With -o NAME.xlsx the table is an Excel workbook instead: typed cells (a\n"
    "date-time, a number, texts), sheets of at most 1,048,575 readings, and a\n"
    "sheet \"Summary\" with one row per function (\"DC V\", \"\u03A9\"): the count of\n"
    "values and of overloads, minimum, maximum, mean, standard deviation, first\n"
    "and last time. With --utc the times are UTC and their headers say so.\n"
    "\n"
    "--stats writes statistics instead: a header line\n"
    "  start,end,function,unit,count,overloads,min,min time,max,max time,mean,\n"
    "  stddev,first,last\n"
    "then one line per interval and per function met in it, in time order. With\n"
    "--every DURATION (10s, 1m, 1h30m, as dmm-log's --duration) the intervals\n"
    "have that length and are aligned to the clock (a 1m interval starts at a\n"
    "whole minute; an interval without readings has no line); without it there\n"
    "is one interval from the first to the last reading. function is the data\n"
    "list's name (\"DC V\", \"\u03A9\"), count the readings with a value, min and\n"
    "max the extremes with the time of the first reading at each, stddev the\n"
    "sample standard deviation (empty for one value), first and last the first\n"
    "and the last value. Times, values, units, --separator, --decimal-comma and\n"
    "--utc as --table; mean and stddev have 10 significant digits. Several\n"
    "files: one block per file, in the order given, each line starting with a\n"
    "column \"file\" naming it. With -o NAME.xlsx: a workbook with typed cells.\n"
    "Work that takes over a second shows its progress on standard error where\n"
    "that is a terminal: one line rewritten in place with the percentage, the\n"
    "readings and the time left, cleared at the end; --quiet leaves it out.\n"
    "\n"
    "Output goes to standard output, or with -o to a file that is replaced only\n"
    "once all of it is written; SIGINT or SIGTERM while it is written leaves an\n"
    "existing file as it was (status 1).\n"
    "\n"
    "Exit status: 0 done; 1 the file could not be read or the output not\n"
    "written (a message on standard error, nothing on standard output, no output\n"
    "file); 2 bad arguments.\n"
    "\n"
    "Example:\n"
    "  dmm-export --pages 2-3 -o run.csv run.g52";

int usageError(const QString& message)
{
    std::fprintf(stderr, "dmm-export: %s\n%s", qPrintable(message), kUsage);
    return kExitUsage;
}

// "P" or "A-B" in decimal; nothing for any other text or a number past int.
std::optional<PageRange> parsePages(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("^([0-9]+)(?:-([0-9]+))?$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    bool firstOk = false;
    const int first = match.captured(1).toInt(&firstOk);
    if (!firstOk)
        return std::nullopt;
    if (!match.hasCaptured(2))
        return PageRange{first, first};
    bool lastOk = false;
    const int last = match.captured(2).toInt(&lastOk);
    if (!lastOk)
        return std::nullopt;
    return PageRange{first, last};
}

// The recorder's Open up to its first phase: the file opened and its record
// count taken from its size, so the pages are known before a record is read.
bool openRecording(const QString& path, RecordFileReader& reader, QString* error)
{
    if (!reader.open(path, error))
        return false;
    if (reader.recordCount() > INT_MAX) {
        *error = QStringLiteral("too many records");
        return false;
    }
    return true;
}

// Shortest text that reads back as the same float; JSON has no infinities.
std::string jsonFloat(float value)
{
    if (!std::isfinite(value))
        return "null";
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

// What the recorder holds after opening the file, counted as its second
// phase counts, in one pass over the records.
struct RecordingInfo
{
    RecordTally tally;
    RecordTime firstTime;
    RecordTime lastTime;
};

bool countRecording(RecordFileReader& reader, QDate lastRecordDate, RecordingInfo& info, bool quiet)
{
    FirstAndLastTimes times(lastRecordDate);
    RecordRuns runs(reader);
    TerminalProgress progress(reader.recordCount(), quiet);
    runs.observeRuns([&progress](std::size_t end) { progress.update(qint64(end)); });
    for (auto slice = runs.next(); !slice.empty(); slice = runs.next()) {
        for (const TARecord& record : slice) {
            info.tally.add(record.fValue);
            times.add(record);
        }
    }
    info.firstTime = times.first();
    info.lastTime = times.last();
    return !reader.truncated();
}

// A time as its text, or null for an empty recording or a text that is none.
void addTime(JsonLine& line, std::string_view key, const RecordTime& time)
{
    if (time.text.empty())
        line.addNull(key);
    else
        line.add(key, time.text);
}

QByteArray infoJson(const RecordingInfo& info)
{
    const RecordTally& tally = info.tally;
    JsonLine line;
    line.add("records", std::int64_t(tally.count))
        .add("lastPage", std::int64_t(tally.lastPage()))
        .add("maxIndex", std::int64_t(tally.extremes.maxIndex))
        .add("minIndex", std::int64_t(tally.extremes.minIndex))
        .addNumber("scaleMaxY", jsonFloat(tally.scaleMaxY))
        .addNumber("scaleMinY", jsonFloat(tally.scaleMinY));
    addTime(line, "firstTime", info.firstTime);
    line.add("firstTimeStamped", info.firstTime.stamped);
    addTime(line, "lastTime", info.lastTime);
    line.add("lastTimeStamped", info.lastTime.stamped);
    return QByteArray::fromStdString(line.str() + '\n');
}

// Appends the text of consecutive records to the block, the first of them at
// 0-based index `firstIndex`: the one place an output mode plugs in.
using RecordWriter = void (*)(QByteArray& block, std::size_t firstIndex,
                              std::span<const TARecord> records);

void writeExportRecords(QByteArray& block, std::size_t firstIndex,
                        std::span<const TARecord> records)
{
    appendExportLines(block, firstIndex, records);
}

void writeListRecords(QByteArray& block, std::size_t firstIndex, std::span<const TARecord> records)
{
    // Straight into the block: room for the longest lines, then cut back.
    const qsizetype start = block.size();
    block.resize(start + qsizetype(records.size() * (kMaxDataListLine + 1)));
    char* out = block.data() + start;
    for (std::size_t i = 0; i < records.size(); ++i) {
        out = writeDataListLine(out, firstIndex + i, records[i]);
        *out++ = '\n';
    }
    block.resize(out - block.constData());
}

// The text of the entries in `range`, read from the file as it is written,
// a block at a time: memory for one run of records and one block of text.
// When the file ends early the job is cancelled.
class EntryTextBlocks
{
public:
    EntryTextBlocks(RecordFileReader& reader, EntryRange range, RecordWriter write, JobControl& job,
                    bool quiet)
        : m_runs(reader, &job), m_range(range), m_write(write), m_progress(qint64(range.end), quiet)
    {
        m_runs.observeRuns([this](std::size_t end) { m_progress.update(qint64(end)); });
    }

    bool next(QByteArray& block)
    {
        block.reserve(kBlockBytes + qsizetype(RecordRuns::kFileRunRecords *
                                              std::max(kMaxExportLine, kMaxDataListLine + 1)));
        while (m_pos < m_range.end) {
            if (m_slice.empty()) {
                m_slice = m_runs.next();
                if (m_slice.empty()) {
                    m_progress.finish();
                    return false;
                }
            }
            // Records before the range are read past, none after it is read.
            const std::size_t before =
                std::min(m_slice.size(), m_range.begin > m_pos ? m_range.begin - m_pos : 0);
            const std::size_t wanted =
                std::min(m_slice.size() - before, m_range.end - m_pos - before);
            if (wanted > 0)
                m_write(block, m_pos + before, m_slice.subspan(before, wanted));
            m_slice = m_slice.subspan(before + wanted);
            m_pos += before + wanted;
            if (block.size() >= kBlockBytes)
                return true;
        }
        m_progress.finish();
        return !block.isEmpty();
    }

private:
    static constexpr qsizetype kBlockBytes = 256 << 10;
    RecordRuns m_runs; // a file that ended early cancels the job
    EntryRange m_range;
    RecordWriter m_write;
    std::span<const TARecord> m_slice; // the records of the run not yet looked at
    std::size_t m_pos = 0;             // the index in the file of its first
    TerminalProgress m_progress;
};

struct TableOptions
{
    QCommandLineOption table{QStringLiteral("table"),
                             QStringLiteral("Write the table for spreadsheets.")};
    QCommandLineOption date{QStringLiteral("date"),
                            QStringLiteral("The first reading's date, for readings without one."),
                            QStringLiteral("YYYY-MM-DD")};
    QCommandLineOption separator{QStringLiteral("separator"),
                                 QStringLiteral("The table's field separator."),
                                 QStringLiteral("C")};
    QCommandLineOption decimalComma{QStringLiteral("decimal-comma"),
                                    QStringLiteral("Values with a decimal comma.")};
    QCommandLineOption utc{QStringLiteral("utc"), QStringLiteral("Times in UTC, ending in Z.")};
    QCommandLineOption power{QStringLiteral("power"),
                             QStringLiteral("Power, energy and charge of two joined recordings."),
                             QStringLiteral("VOLTS*AMPERES")};
};

// Long work shows its progress on standard error where that is a terminal.
const QCommandLineOption& quietOption()
{
    static const QCommandLineOption option(QStringLiteral("quiet"),
                                           QStringLiteral("No progress line on a terminal."));
    return option;
}

TableOptions addTableOptions(QCommandLineParser& parser)
{
    TableOptions options;
    parser.addOptions(
        {options.table, options.date, options.separator, options.decimalComma, options.utc});
    parser.addOption(options.power);
    return options;
}

// --separator, --decimal-comma and --utc; what is wrong, else empty.
QString readTableFormat(const QCommandLineParser& parser, const TableOptions& options,
                        TableFormat* format)
{
    if (parser.isSet(options.separator)) {
        const auto separator = tableSeparator(parser.value(options.separator));
        if (!separator)
            return QStringLiteral("--separator wants one character such as ; or \"tab\"");
        format->separator = *separator;
    }
    format->decimalComma = parser.isSet(options.decimalComma);
    format->utc = parser.isSet(options.utc);
    return {};
}

// --date, the first reading's date for readings without one; what is wrong, else empty.
QString readFirstDate(const QCommandLineParser& parser, const TableOptions& options,
                      std::optional<QDate>* firstDate)
{
    if (!parser.isSet(options.date))
        return {};
    const QDate date = QDate::fromString(parser.value(options.date), Qt::ISODate);
    if (!date.isValid())
        return QStringLiteral("--date wants a date such as 2026-12-07");
    *firstDate = date;
    return {};
}

int runTable(const QCommandLineParser& parser, const TableOptions& options, const QString& path,
             const QString& output)
{
    exporttool::TableRequest request{path, output, {}, std::nullopt};
    if (const QString error = readTableFormat(parser, options, &request.format); !error.isEmpty())
        return usageError(error);
    if (const QString error = readFirstDate(parser, options, &request.firstDate); !error.isEmpty())
        return usageError(error);
    request.quiet = parser.isSet(quietOption());
    return exporttool::writeTable(request);
}

// --table of several recordings: the same table options, and --power.
int runJoinedTable(const QCommandLineParser& parser, const TableOptions& options,
                   const QStringList& files)
{
    const QString output = parser.value(QStringLiteral("output"));
    if (parser.isSet(QStringLiteral("output")) && output.isEmpty())
        return usageError(QStringLiteral("-o wants a file name"));
    for (const QString& option :
         {QStringLiteral("list"), QStringLiteral("info"), QStringLiteral("pages")})
        if (parser.isSet(option))
            return usageError(QStringLiteral("--table writes every reading, without --list, "
                                             "--info or --pages"));
    for (const QString& path : files)
        if (!output.isEmpty() && isSameFile(output, path))
            return failure(output + QStringLiteral(": is a recording being read; the output "
                                                   "goes to another file"));
    exporttool::JoinRequest request{files, output, {}, std::nullopt, parser.value(options.power)};
    if (const QString error = readTableFormat(parser, options, &request.format); !error.isEmpty())
        return usageError(error);
    if (const QString error = readFirstDate(parser, options, &request.firstDate); !error.isEmpty())
        return usageError(error);
    try {
        return exporttool::writeJoinedTable(request);
    } catch (const std::bad_alloc&) {
        return failure(QStringLiteral("not enough memory"));
    }
}

// --stats FILE... [--every DURATION]: the table's options but --date.
int runStats(const QCommandLineParser& parser, const TableOptions& options,
             const QCommandLineOption& every, const QStringList& files)
{
    if (files.isEmpty())
        return usageError(QStringLiteral("no recording given"));
    for (const char* other : {"table", "list", "info", "pages", "date"})
        if (parser.isSet(QString::fromLatin1(other)))
            return usageError(QStringLiteral("--stats goes without --%1").arg(other));
    StatsRequest request{files, parser.value(QStringLiteral("o")), {}, std::nullopt};
    if (parser.isSet(QStringLiteral("o")) && request.output.isEmpty())
        return usageError(QStringLiteral("-o wants a file name"));
    if (const QString error = readTableFormat(parser, options, &request.format); !error.isEmpty())
        return usageError(error);
    if (parser.isSet(every)) {
        request.every = parseDuration(parser.value(every));
        if (!request.every)
            return usageError(QStringLiteral("--every wants a time such as 10s, 1m or 1h30m"));
    }
    return writeStats(request);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("dmm-export"));
    // A write past the file-size limit fails with EFBIG and is reported,
    // instead of killing the program with its temporary file left behind.
    ignoreFileSizeLimitSignal();
    QCoreApplication::setApplicationVersion(QStringLiteral(DMM_VERSION));

    QCommandLineParser parser;
    // The description holds the unit signs in UTF-8.
    parser.setApplicationDescription(QString::fromUtf8(kDescription));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    const QCommandLineOption pagesOption(
        QStringLiteral("pages"), QStringLiteral("Only page P, or pages A to B (1 is the oldest)."),
        QStringLiteral("P|A-B"));
    const QCommandLineOption listOption(QStringLiteral("list"),
                                        QStringLiteral("Write the data list's lines."));
    const QCommandLineOption infoOption(
        QStringLiteral("info"), QStringLiteral("Write the recorder's counts and scale as JSON."));
    const QCommandLineOption outputOption(
        QStringList{QStringLiteral("o"), QStringLiteral("output")},
        QStringLiteral("Write to OUT instead of standard output."), QStringLiteral("OUT"));
    parser.addOptions({pagesOption, listOption, infoOption, outputOption, quietOption()});
    const TableOptions tableOptions = addTableOptions(parser);
    // --stats: statistics per interval, of one recording or several.
    const QCommandLineOption statsOption(QStringLiteral("stats"),
                                         QStringLiteral("Write statistics per interval."));
    const QCommandLineOption everyOption(QStringLiteral("every"),
                                         QStringLiteral("The statistics' interval."),
                                         QStringLiteral("DURATION"));
    parser.addOptions({statsOption, everyOption});
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("A recording: .g52, .g51 or .TMP."));

    // The names as the system gave them: QCoreApplication::arguments() turns
    // a byte that is no UTF-8 into U+FFFD, and the file is then not found.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << fileNameText(argv[i]);
    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    if (parser.isSet(helpOption))
        parser.showHelp(kExitOk);
    if (parser.isSet(versionOption))
        parser.showVersion();
    if (parser.isSet(QStringLiteral("help-all")))
        parser.process(app); // prints the help with Qt's own options and exits
    const QStringList files = parser.positionalArguments();
    // Several recordings joined into one table by time.
    if (files.size() > 1 && parser.isSet(tableOptions.table))
        return runJoinedTable(parser, tableOptions, files);
    if (parser.isSet(tableOptions.power))
        return usageError(QStringLiteral("--power goes with --table of several recordings"));
    if (parser.isSet(statsOption))
        return runStats(parser, tableOptions, everyOption, files);
    if (parser.isSet(everyOption))
        return usageError(QStringLiteral("--every goes with --stats"));
    if (files.size() != 1)
        return usageError(files.isEmpty() ? QStringLiteral("no recording given")
                                          : QStringLiteral("one recording at a time"));
    const bool list = parser.isSet(listOption);
    const bool info = parser.isSet(infoOption);
    if (list && info)
        return usageError(QStringLiteral("--list and --info exclude each other"));
    if (info && parser.isSet(pagesOption))
        return usageError(QStringLiteral("--info covers the whole recording, not pages"));
    std::optional<PageRange> requested;
    if (parser.isSet(pagesOption)) {
        requested = parsePages(parser.value(pagesOption));
        if (!requested)
            return usageError(QStringLiteral("--pages wants a page number or a range such as "
                                             "2-3, not \"%1\"")
                                  .arg(parser.value(pagesOption)));
    }
    const bool toFile = parser.isSet(outputOption);
    const QString outputName = parser.value(outputOption);
    if (toFile && outputName.isEmpty())
        return usageError(QStringLiteral("-o wants a file name"));

    const QString path = files.first();
    // Compared as files, not names: "-o ./r.g52 r.g52" or a link to the
    // recording would replace it with its own export.
    if (toFile && isSameFile(outputName, path))
        return failure(outputName + QStringLiteral(": is the recording being read; the output "
                                                   "goes to another file"));
    if (parser.isSet(tableOptions.table)) {
        if (list || info || parser.isSet(pagesOption))
            return usageError(QStringLiteral("--table writes every reading, without --list, "
                                             "--info or --pages"));
        return runTable(parser, tableOptions, path, toFile ? outputName : QString());
    }
    for (const QCommandLineOption* option : {&tableOptions.date, &tableOptions.separator,
                                             &tableOptions.decimalComma, &tableOptions.utc})
        if (parser.isSet(*option))
            return usageError(
                QStringLiteral("--%1 goes with --table").arg(option->names().first()));
    try {
        RecordFileReader reader;
        QString reason;
        if (!openRecording(path, reader, &reason))
            return failure(path + QStringLiteral(": ") + reason);

        if (info) {
            RecordingInfo counted;
            if (!countRecording(reader, fileModificationDate(path), counted,
                                parser.isSet(quietOption())))
                return failure(path + QStringLiteral(": ") + truncationReason(reader));
            JobControl job;
            return writeOutput(toFile ? outputName : QString(), singleBlock(infoJson(counted)), job,
                               [] { return QString(); });
        }

        const int lastPage = lastPageFor(reader.recordCount());
        const PageRange pages = limitPages(requested.value_or(PageRange{1, lastPage}), lastPage);
        const EntryRange entries =
            pageRangeEntries(std::size_t(reader.recordCount()), lastPage, pages);
        JobControl job;
        EntryTextBlocks text(reader, entries, list ? writeListRecords : writeExportRecords, job,
                             parser.isSet(quietOption()));
        return writeOutput(
            toFile ? outputName : QString(), [&](QByteArray& block) { return text.next(block); },
            job, [&] { return path + QStringLiteral(": ") + truncationReason(reader); });
    } catch (const std::bad_alloc&) {
        return failure(path + QStringLiteral(": not enough memory"));
    }
}
