// SPDX-License-Identifier: MIT
#include "SimScript.h"

#include <charconv>
#include <set>
#include <vector>

#include "FrameEncoder.h"
#include "HexBytes.h"

namespace dmm::sim {

namespace {

// A script that expands to more steps than this is a mistake, not a test.
constexpr std::size_t kMaxSteps = 1'000'000;
constexpr std::size_t kMaxWriteBytes = 4096;

std::vector<std::string_view> words(std::string_view line)
{
    std::vector<std::string_view> result;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r'))
            ++i;
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r')
            ++i;
        if (i > start)
            result.push_back(line.substr(start, i - start));
    }
    return result;
}

std::optional<long long> parseNumber(std::string_view text)
{
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<Multiplier> parseMultiplier(std::string_view text)
{
    if (text == "n")
        return Multiplier::Nano;
    if (text == "u")
        return Multiplier::Micro;
    if (text == "m")
        return Multiplier::Milli;
    if (text == "k")
        return Multiplier::Kilo;
    if (text == "M")
        return Multiplier::Mega;
    return std::nullopt;
}

// Completes a frame given by fewer than 15 bytes with the positions it lacks.
std::vector<std::uint8_t> completeFrame(std::vector<std::uint8_t> bytes)
{
    std::set<int> present;
    for (const std::uint8_t b : bytes)
        present.insert(b >> 4);
    for (int p = 0; p < kFrameSize && bytes.size() < static_cast<std::size_t>(kFrameSize); ++p)
        if (!present.contains(p))
            bytes.push_back(static_cast<std::uint8_t>(p << 4));
    return bytes;
}

class Parser
{
public:
    std::optional<SimSteps> parse(std::string_view text, std::string* error);

private:
    bool parseLine(const std::vector<std::string_view>& w);
    bool fail(std::string reason)
    {
        m_error = std::move(reason);
        return false;
    }
    bool append(SimStep step);

    struct Block
    {
        SimSteps steps;
        long long times = 1;
    };
    std::vector<Block> m_blocks{Block{}};
    std::size_t m_total = 0;
    std::string m_error;
};

bool Parser::append(SimStep step)
{
    if (++m_total > kMaxSteps)
        return fail("the script expands to more than 1000000 steps");
    m_blocks.back().steps.push_back(std::move(step));
    return true;
}

bool Parser::parseLine(const std::vector<std::string_view>& w)
{
    const std::string_view command = w[0];
    const std::size_t arguments = w.size() - 1;

    if (command == "frame" || command == "partial") {
        std::string joined;
        for (std::size_t i = 1; i < w.size(); ++i)
            (joined += w[i]) += ' ';
        std::string hexError;
        auto bytes = parseHexBytes(joined, &hexError);
        if (!bytes)
            return fail(hexError);
        if (bytes->empty())
            return fail(std::string(command) + " needs at least one byte");
        if (command == "frame") {
            if (bytes->size() > static_cast<std::size_t>(kFrameSize))
                return fail("a frame has at most 15 bytes");
            const auto frame = completeFrame(std::move(*bytes));
            return append({SimStep::Kind::Frame, frame, 0});
        }
        if (bytes->size() > kMaxWriteBytes)
            return fail("at most 4096 bytes in one write");
        return append(bytesStep(*bytes));
    }

    if (command == "show") {
        if (arguments < 2 || arguments > 4)
            return fail("usage: show CODE TEXT [n|u|m|k|M] [lowbat]");
        const auto code = parseNumber(w[1]);
        if (!code || *code < 0 || *code > 0xFFFFFFFFLL)
            return fail("not a function code: " + std::string(w[1]));
        auto function = static_cast<std::uint32_t>(*code);
        Multiplier multiplier = Multiplier::None;
        for (std::size_t i = 3; i < w.size(); ++i) {
            if (w[i] == "lowbat")
                function |= functionBit::LowBattery;
            else if (const auto m = parseMultiplier(w[i]))
                multiplier = *m;
            else
                return fail("neither a multiplier nor lowbat: " + std::string(w[i]));
        }
        const auto display = displayFor(function, w[2], multiplier);
        if (!display)
            return fail("not a display text: " + std::string(w[2]));
        const Frame frame = encodeFrame(*display);
        return append(frameStep(frame));
    }

    if (command == "wait" || command == "period") {
        const auto ms = arguments == 1 ? parseNumber(w[1]) : std::nullopt;
        if (!ms || *ms < 0 || *ms > 3'600'000)
            return fail(std::string(command) + " needs milliseconds from 0 to 3600000");
        const int milliseconds = static_cast<int>(*ms);
        return append(command == "wait" ? waitStep(milliseconds) : periodStep(milliseconds));
    }

    if (command == "repeat") {
        const auto times = arguments == 1 ? parseNumber(w[1]) : std::nullopt;
        if (!times || *times < 0)
            return fail("repeat needs a count of 0 or more");
        m_blocks.push_back(Block{{}, *times});
        return true;
    }

    if (command == "end") {
        if (arguments != 0)
            return fail("end takes nothing");
        if (m_blocks.size() < 2)
            return fail("end without repeat");
        Block block = std::move(m_blocks.back());
        m_blocks.pop_back();
        m_total -= block.steps.size();
        // Nothing to repeat: a huge count would only spin.
        if (block.steps.empty())
            return true;
        for (long long i = 0; i < block.times; ++i)
            for (const SimStep& step : block.steps)
                if (!append(step))
                    return false;
        return true;
    }

    return fail("unknown command: " + std::string(command));
}

std::optional<SimSteps> Parser::parse(std::string_view text, std::string* error)
{
    int lineNumber = 0;
    while (!text.empty()) {
        const std::size_t eol = text.find('\n');
        const std::string_view line = text.substr(0, eol);
        text = eol == std::string_view::npos ? std::string_view() : text.substr(eol + 1);
        ++lineNumber;

        const auto w = words(line);
        if (w.empty() || w[0].front() == '#')
            continue;
        if (!parseLine(w)) {
            if (error)
                *error = "line " + std::to_string(lineNumber) + ": " + m_error;
            return std::nullopt;
        }
    }
    if (m_blocks.size() > 1) {
        if (error)
            *error = "line " + std::to_string(lineNumber) + ": repeat without end";
        return std::nullopt;
    }
    return std::move(m_blocks.front().steps);
}

} // namespace

std::optional<SimSteps> parseScript(std::string_view text, std::string* error)
{
    return Parser().parse(text, error);
}

const char* scriptHelp()
{
    return "Script lines (# starts a comment):\n"
           "  frame 0A 14 20 31 4A 5B 6D 78 8F 94 AE B0 C0 D0 E4\n"
           "      one frame in one write; a frame of fewer than 15 bytes is completed\n"
           "      with the missing positions (zero data) in position order\n"
           "  partial 0A 14 20\n"
           "      these bytes in one write, exactly as given\n"
           "  show CODE TEXT [n|u|m|k|M] [lowbat]\n"
           "      the frame for function code CODE (decimal or 0x hex) showing TEXT:\n"
           "      four segment-table characters, _ for a blank, at most one point,\n"
           "      an optional leading minus. Examples: show 6 -1.234, show 6 12.34 m,\n"
           "      show 128 1.234 k, show 128 _0.L_ (overload), show 32 25.3 (deg C),\n"
           "      show 8 10.00 n, show 6 ____ (blank)\n"
           "  wait MS      quiet for MS milliseconds, on top of the period\n"
           "  period MS    MS milliseconds after every write from here on\n"
           "  repeat N ... end   the lines in between N times (may nest)\n";
}

} // namespace dmm::sim
