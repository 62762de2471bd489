// SPDX-License-Identifier: MIT
// The export's value column against its rule, over a large random sample of
// float32 bit patterns: a float whose shortest round-trip form has at most 7
// significant digits is written from that form, any other is rounded once
// from its exact binary value to 7 digits, ties to even (here by the C
// library's printf, not by the exporter's own path). Prints the count of
// mismatches, which must be 0, and the time a million-line export takes.
// It is not a test.
//
//   dmm-bench-value7 [random samples, 5,000,000 by default]
#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "ExportText.h"
#include "RecordBuffer.h"

using namespace dmm;

namespace {

// The decimal the rule asks for, as text strtod reads.
std::string ruleDecimal(float value)
{
    char text[64];
    char* end = std::to_chars(text, text + sizeof text, value, std::chars_format::scientific).ptr;
    *end = '\0';
    int digits = 0;
    for (const char* c = text; *c && *c != 'e'; ++c)
        digits += *c >= '0' && *c <= '9';
    if (digits <= 7)
        return text;
    std::snprintf(text, sizeof text, "%.6e", double(value));
    return text;
}

bool followsTheRule(float value)
{
    const std::string written = formatValue7(value);
    const double got = std::strtod(written.c_str(), nullptr);
    const double wanted = std::strtod(ruleDecimal(value).c_str(), nullptr);
    // Distinct decimals of at most 7 digits are distinct doubles, so equal
    // doubles mean the same decimal.
    return got == wanted && written.size() <= kValue7MaxChars;
}

double seconds(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char* argv[])
{
    const long samples = argc > 1 ? std::atol(argv[1]) : 5'000'000;
    std::mt19937 random(7);
    long checked = 0, mismatches = 0;
    const auto start = std::chrono::steady_clock::now();
    for (long i = 0; i < samples; ++i) {
        const std::uint32_t bits = random();
        float value;
        std::memcpy(&value, &bits, sizeof value);
        if (!std::isfinite(value))
            continue;
        ++checked;
        if (!followsTheRule(value)) {
            if (++mismatches <= 10)
                std::printf("mismatch: %.9g written %s, rule %s\n", double(value),
                            formatValue7(value).c_str(), ruleDecimal(value).c_str());
        }
    }
    // Random bit patterns seldom hit an exact tie at the 8th digit; the
    // integers of 8 digits that floats hold exactly have one in ten.
    for (std::uint32_t integer = 10'000'000; integer < 10'100'000; ++integer) {
        const float value = float(integer);
        ++checked;
        if (!followsTheRule(value) && ++mismatches <= 10)
            std::printf("mismatch: %u written %s, rule %s\n", integer, formatValue7(value).c_str(),
                        ruleDecimal(value).c_str());
    }
    std::printf("value column: %ld float32 checked (%ld random, 100,000 ties and near ties) in "
                "%.1f s, %ld mismatches\n",
                checked, samples, seconds(start), mismatches);

    RecordBuffer buffer;
    TARecord record;
    record.timeStamp = " 12:00:00.0  ";
    record.subDisplay = "0.98";
    for (int i = 0; i < 1'000'000; ++i) {
        record.fValue = float(i) * 1.0e-3f - 17.25f;
        buffer.append(record);
    }
    double best = 1e9;
    for (int run = 0; run < 5; ++run) {
        const auto begin = std::chrono::steady_clock::now();
        const QByteArray text = exportText(buffer, {0, buffer.size()});
        best = std::min(best, seconds(begin));
        if (text.isEmpty())
            return 1;
    }
    std::printf("export text: 1,000,000 lines in %.0f ms (best of 5)\n", best * 1e3);
    return mismatches == 0 ? 0 : 1;
}
