// SPDX-License-Identifier: MIT
// Throughput of the per-reading work: frame decoding, value formatting and
// record encoding. Prints figures; it is not a test.
#include <chrono>
#include <cstdio>
#include <vector>

#include "FrameDecoder.h"
#include "NumberText.h"
#include "Record.h"
#include "ValueFormat.h"

namespace {

template <typename Body> void measure(const char* what, long iterations, Body body)
{
    const auto start = std::chrono::steady_clock::now();
    long sink = 0;
    for (long i = 0; i < iterations; ++i)
        sink += body(i);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%-28s %10.0f per second  (%.1f ns each, check %ld)\n", what, iterations / seconds,
                seconds * 1e9 / iterations, sink);
}

} // namespace

int main()
{
    using namespace dmm;
    setDecimalSeparator('.');
    const std::vector<Frame> frames = {
        {0x0A, 0x14, 0x20, 0x31, 0x4A, 0x5B, 0x6D, 0x78, 0x8F, 0x94, 0xAE, 0xB0, 0xC0, 0xD0, 0xE4},
        {0x8F, 0x94, 0xAE, 0xB0, 0xC0, 0xD0, 0xE4, 0x0A, 0x14, 0x20, 0x31, 0x4A, 0x5B, 0x6D, 0x78},
        {0x0A, 0x10, 0x20, 0x30, 0x40, 0x5E, 0x6B, 0x77, 0x81, 0x90, 0xA0, 0xB2, 0xC4, 0xD0, 0xE0},
        {0x0A, 0x10, 0x20, 0x3A, 0x4D, 0x5C, 0x67, 0x79, 0x8F, 0x9E, 0xA1, 0xB0, 0xC0, 0xD0, 0xE0},
    };
    constexpr long kIterations = 2'000'000;

    measure("decodeFrame", kIterations, [&](long i) {
        return static_cast<long>(decodeFrame(frames[i % frames.size()])->display.size());
    });

    CurrentReading reading;
    measure("decode + applyFrame", kIterations, [&](long i) {
        const auto frame = decodeFrame(frames[i % frames.size()]);
        return static_cast<long>(applyFrame(reading, *frame).value_or("").size());
    });

    TARecord record;
    record.display = "-1.234";
    record.exponent = "-3";
    record.function = 6;
    record.timeStamp = formatTimeStamp(12, 34, 56, 789);
    record.value = "-1.234";
    record.prefix = "m";
    record.unit = "V";
    record.fValue = -0.001234f;
    measure("encodeARecord", kIterations,
            [&](long) { return static_cast<long>(encodeARecord(record)[3]); });
    const auto bytes = encodeARecord(record);
    measure("decodeARecord", kIterations,
            [&](long) { return static_cast<long>(decodeARecord(bytes).function); });
    measure("formatGeneral", kIterations / 4,
            [&](long i) { return static_cast<long>(formatGeneral(i * 0.001).size()); });
    return 0;
}
