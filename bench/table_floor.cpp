// SPDX-License-Identifier: MIT
// The floor of dmm-export --table: a plain formatter, written by hand for the
// bench recordings (readings without a date stamp, the logged time layout,
// the bench's few functions), that writes the same bytes as the tool's
// default table, doing the same work: a first pass over the time texts to
// count the days back from the file's modification date, then one row per
// record. It knows nothing the tool does not (no cache of rows, no skipped
// records); it only leaves out what the bench files never need (stamps,
// quoting, other time layouts). Not a test: bench_table.sh compares its
// output's digest with the tool's before it times either.
//   dmm-bench-table-floor FILE > TABLE
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kRecord = 76;
constexpr int kRunRecords = 1024;

struct Unit
{
    int shift;
    const char* symbol;
};

// The bench files' function codes (DC mV, ohms, degrees Celsius, capacitance).
Unit unitOf(std::int32_t function)
{
    switch (function & 0x7fffffff) {
    case 6:
        return {0, "V"};
    case 128:
        return {0, "\xCE\xA9"};
    case 32:
        return {0, "\xC2\xB0"
                   "C"};
    case 8:
        return {-6, "F"};
    }
    std::fprintf(stderr, "table_floor: function %d is not one of the bench's\n", function);
    std::exit(1);
}

// " HH:MM:SS.t  " as ms since midnight.
int timeOfDay(const char* t)
{
    const int hour = (t[1] == ' ' ? 0 : (t[1] - '0') * 10) + t[2] - '0';
    return ((hour * 60 + (t[4] - '0') * 10 + t[5] - '0') * 60 + (t[7] - '0') * 10 + t[8] - '0') *
               1000 +
           (t[10] - '0') * 100;
}

// days since 1970-01-01 as "YYYY-MM-DDT".
void dayText(std::int64_t days, char* out)
{
    days += 719468;
    const std::int64_t era = days / 146097;
    const unsigned doe = unsigned(days - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    const unsigned y = unsigned(yoe + era * 400) + (m <= 2);
    char text[40];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT", y, m, d);
    std::memcpy(out, text, 11);
}

// The shortest text of the float, its decimal exponent moved by `shift`, in
// the shorter of the fixed and scientific forms (fixed on a tie).
char* value(char* out, float v, int shift)
{
    if (shift == 0 || v == 0.0f || !std::isfinite(v))
        return std::to_chars(out, out + 48, v).ptr;
    char text[48];
    char* end = std::to_chars(text, text + 48, v, std::chars_format::scientific).ptr;
    const char* p = text;
    if (*p == '-')
        *out++ = *p++;
    char digits[16];
    int n = 0;
    for (; *p != 'e'; ++p)
        if (*p != '.')
            digits[n++] = *p;
    int exponent = std::atoi(p + 1) + shift;
    (void)end;
    const int magnitude = std::abs(exponent);
    const int fixed = exponent >= n - 1 ? exponent + 1 : exponent >= 0 ? n + 1 : n + 1 - exponent;
    const int scientific = (n > 1 ? n + 1 : 1) + 2 + (magnitude < 100 ? 2 : 3);
    if (fixed <= scientific) {
        if (exponent >= n - 1) {
            out = std::copy(digits, digits + n, out);
            return std::fill_n(out, exponent - (n - 1), '0');
        }
        if (exponent >= 0) {
            out = std::copy(digits, digits + exponent + 1, out);
            *out++ = '.';
            return std::copy(digits + exponent + 1, digits + n, out);
        }
        *out++ = '0';
        *out++ = '.';
        out = std::fill_n(out, -exponent - 1, '0');
        return std::copy(digits, digits + n, out);
    }
    *out++ = digits[0];
    if (n > 1) {
        *out++ = '.';
        out = std::copy(digits + 1, digits + n, out);
    }
    *out++ = 'e';
    *out++ = exponent < 0 ? '-' : '+';
    if (magnitude < 10)
        *out++ = '0';
    return std::to_chars(out, out + 4, magnitude).ptr;
}

char* text(char* out, const char* field, int size)
{
    const char* end = static_cast<const char*>(std::memchr(field, 0, size_t(size)));
    const int n = end ? int(end - field) : size;
    std::memcpy(out, field, size_t(n));
    return out + n;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: dmm-bench-table-floor FILE > TABLE\n");
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
    // The first pass: the days that pass over the whole file.
    std::int64_t days = 0;
    int previous = -1;
    for (ssize_t got; (got = read(fd, run, sizeof run)) > 0;) {
        for (ssize_t r = 0; r + kRecord <= got; r += kRecord) {
            const int now = timeOfDay(run + r + 16);
            days += now < previous;
            previous = now;
        }
    }
    tm local{};
    localtime_r(&info.st_mtime, &local);
    // days since the epoch of the modification's local date, less the days passed
    std::int64_t day = std::int64_t(timegm(&local)) / 86400 - days;
    char dayString[12];
    dayText(day, dayString);

    lseek(fd, 0, SEEK_SET);
    static char out[kRunRecords * 160 + 64];
    char* p = out;
    p = std::strcpy(p, "time,value,unit,display,subdisplay\n") + 35;
    previous = -1;
    for (ssize_t got; (got = read(fd, run, sizeof run)) > 0;) {
        for (ssize_t r = 0; r + kRecord <= got; r += kRecord) {
            const char* record = run + r;
            const int now = timeOfDay(record + 16);
            if (now < previous)
                dayText(++day, dayString);
            previous = now;
            std::memcpy(p, dayString, 11);
            p += 11;
            const int s = now / 1000;
            *p++ = char('0' + s / 36000);
            *p++ = char('0' + s / 3600 % 10);
            *p++ = ':';
            *p++ = char('0' + s / 600 % 6);
            *p++ = char('0' + s / 60 % 10);
            *p++ = ':';
            *p++ = char('0' + s % 60 / 10);
            *p++ = char('0' + s % 10);
            *p++ = '.';
            *p++ = char('0' + now % 1000 / 100);
            *p++ = ',';
            std::int32_t function;
            std::memcpy(&function, record + 12, 4);
            const Unit unit = unitOf(function);
            if (!std::memchr(record + 32, 'L', strnlen(record + 32, 16))) {
                float v;
                std::memcpy(&v, record + 64, 4);
                p = value(p, v, unit.shift);
            }
            *p++ = ',';
            p = std::strcpy(p, unit.symbol) + std::strlen(unit.symbol);
            *p++ = ',';
            p = text(p, record + 32, 16);
            p = text(p, record + 48, 8);
            *p++ = ',';
            p = text(p, record + 68, 8);
            *p++ = '\n';
        }
        if (fwrite(out, 1, size_t(p - out), stdout) != size_t(p - out))
            return 1;
        p = out;
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
