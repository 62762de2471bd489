// SPDX-License-Identifier: MIT
// The floor of dmm-export --table -o x.xlsx: the same cells of a bench
// recording written straight through libxlsxwriter, in the tool's mode
// (constant memory, zip64), with its sheets of 1,048,575 rows, formats,
// frozen and filtered headers and a Summary sheet of one row per function,
// and no more work around the library than a formatter needs: the times
// counted from the file's modification date as the tool counts them, the
// value as its shortest text read back. Not a test; bench_table.sh times it.
//   dmm-bench-xlsx-floor FILE OUT.xlsx
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <xlsxwriter.h>

namespace {

constexpr int kRecord = 76;
constexpr int kRunRecords = 1024;
constexpr lxw_row_t kSheetRows = 1'048'575;

struct Unit
{
    int shift;
    const char* symbol;
    const char* name;
};

Unit unitOf(std::int32_t function)
{
    switch (function & 0x7fffffff) {
    case 6:
        return {0, "V", "DC V"};
    case 128:
        return {0, "\xCE\xA9", "\xCE\xA9"};
    case 32:
        return {0,
                "\xC2\xB0"
                "C",
                "\xC2\xB0"
                "C"};
    case 8:
        return {-6, "F", "F"};
    }
    std::fprintf(stderr, "xlsx_floor: function %d is not one of the bench's\n", function);
    std::exit(1);
}

int timeOfDay(const char* t)
{
    const int hour = (t[1] == ' ' ? 0 : (t[1] - '0') * 10) + t[2] - '0';
    return ((hour * 60 + (t[4] - '0') * 10 + t[5] - '0') * 60 + (t[7] - '0') * 10 + t[8] - '0') *
               1000 +
           (t[10] - '0') * 100;
}

std::string text(const char* field, int size)
{
    return std::string(field, strnlen(field, std::size_t(size)));
}

struct Figures
{
    std::int64_t values = 0, overloads = 0;
    double min = 0, max = 0, mean = 0, m2 = 0, first = -1, last = -1;
};

const char* const kColumns[] = {"time", "value", "unit", "display", "subdisplay"};
const double kWidths[] = {24, 12, 6, 10, 10};

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: dmm-bench-xlsx-floor FILE OUT.xlsx\n");
        return 2;
    }
    const int fd = open(argv[1], O_RDONLY);
    struct stat info
    {
    };
    if (fd < 0 || fstat(fd, &info) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    static char run[kRunRecords * kRecord];
    std::int64_t days = 0;
    int previous = -1;
    for (ssize_t got; (got = read(fd, run, sizeof run)) > 0;)
        for (ssize_t r = 0; r + kRecord <= got; r += kRecord) {
            const int now = timeOfDay(run + r + 16);
            days += now < previous;
            previous = now;
        }
    tm local{};
    localtime_r(&info.st_mtime, &local);
    // Excel's day 0 is 1899-12-30, 25569 days before the epoch.
    double day = double(std::int64_t(timegm(&local)) / 86400 - days + 25569);

    std::string folder = argv[2];
    folder = folder.find('/') == std::string::npos ? "." : folder.substr(0, folder.rfind('/'));
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = folder.data();
    options.use_zip64 = LXW_TRUE;
    lxw_workbook* book = workbook_new_opt(argv[2], &options);
    if (!book)
        return 1;
    lxw_format* timeFormat = workbook_add_format(book);
    format_set_num_format(timeFormat, "yyyy-mm-dd hh:mm:ss.000");
    lxw_format* header = workbook_add_format(book);
    format_set_bold(header);
    lxw_worksheet* sheet = nullptr;
    int sheets = 0;
    lxw_row_t row = 0;
    auto nextSheet = [&] {
        if (sheet)
            worksheet_autofilter(sheet, 0, 0, row - 1, 4);
        const std::string name = sheets == 0 ? "Table" : "Table " + std::to_string(sheets + 1);
        ++sheets;
        sheet = workbook_add_worksheet(book, name.c_str());
        for (lxw_col_t c = 0; c < 5; ++c) {
            worksheet_set_column(sheet, c, c, kWidths[c], nullptr);
            worksheet_write_string(sheet, 0, c, kColumns[c], header);
        }
        worksheet_freeze_panes(sheet, 1, 0);
        row = 1;
    };
    std::vector<std::pair<std::int32_t, Figures>> functions;

    lseek(fd, 0, SEEK_SET);
    previous = -1;
    for (ssize_t got; (got = read(fd, run, sizeof run)) > 0;) {
        for (ssize_t r = 0; r + kRecord <= got; r += kRecord) {
            const char* record = run + r;
            if (!sheet || row > kSheetRows)
                nextSheet();
            const int now = timeOfDay(record + 16);
            if (now < previous)
                ++day;
            previous = now;
            const double time = day + double(now) / 86'400'000.0;
            worksheet_write_number(sheet, row, 0, time, timeFormat);
            std::int32_t function;
            std::memcpy(&function, record + 12, 4);
            const Unit unit = unitOf(function);
            const std::string value = text(record + 32, 16);
            const bool overload = value.find('L') != std::string::npos;
            std::size_t f = 0;
            while (f < functions.size() && functions[f].first != function)
                ++f;
            if (f == functions.size())
                functions.push_back({function, {}});
            Figures& figures = functions[f].second;
            if (figures.first < 0)
                figures.first = time;
            figures.last = time;
            if (overload) {
                ++figures.overloads;
            } else {
                float v;
                std::memcpy(&v, record + 64, 4);
                char digits[48];
                char* end = std::to_chars(digits, digits + 48, v).ptr;
                double number = 0;
                std::from_chars(digits, end, number);
                number *= std::pow(10.0, unit.shift);
                worksheet_write_number(sheet, row, 1, number, nullptr);
                figures.min = figures.values == 0 ? number : std::min(figures.min, number);
                figures.max = figures.values == 0 ? number : std::max(figures.max, number);
                ++figures.values;
                const double delta = number - figures.mean;
                figures.mean += delta / double(figures.values);
                figures.m2 += delta * (number - figures.mean);
            }
            worksheet_write_string(sheet, row, 2, unit.symbol, nullptr);
            worksheet_write_string(sheet, row, 3, (value + text(record + 48, 8)).c_str(), nullptr);
            const std::string sub = text(record + 68, 8);
            if (!sub.empty())
                worksheet_write_string(sheet, row, 4, sub.c_str(), nullptr);
            ++row;
        }
    }
    worksheet_autofilter(sheet, 0, 0, row - 1, 4);
    lxw_worksheet* summary = workbook_add_worksheet(book, "Summary");
    lxw_row_t s = 1;
    for (const auto& [function, figures] : functions) {
        worksheet_write_string(summary, s, 0, unitOf(function).name, nullptr);
        worksheet_write_number(summary, s, 1, double(figures.values), nullptr);
        worksheet_write_number(summary, s, 2, double(figures.overloads), nullptr);
        worksheet_write_number(summary, s, 3, figures.min, nullptr);
        worksheet_write_number(summary, s, 4, figures.max, nullptr);
        worksheet_write_number(summary, s, 5, figures.mean, nullptr);
        worksheet_write_number(summary, s, 6, std::sqrt(figures.m2 / double(figures.values - 1)),
                               nullptr);
        worksheet_write_number(summary, s, 7, figures.first, timeFormat);
        worksheet_write_number(summary, s, 8, figures.last, timeFormat);
        ++s;
    }
    return workbook_close(book) == LXW_NO_ERROR ? 0 : 1;
}
