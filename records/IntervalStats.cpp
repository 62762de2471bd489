// SPDX-License-Identifier: MIT
#include "IntervalStats.h"

#include <cmath>
#include <utility>

namespace dmm {

namespace {

std::int64_t floorDivide(std::int64_t a, std::int64_t b)
{
    return a / b - (a % b < 0 ? 1 : 0);
}

} // namespace

void FunctionStats::add(double value, StatsTime time)
{
    if (count == 0) {
        min = max = first = value;
        minTime = maxTime = time;
    } else if (value < min) {
        min = value;
        minTime = time;
    } else if (value > max) {
        max = value;
        maxTime = time;
    }
    last = value;
    ++count;
    const double delta = value - mean;
    mean += delta / double(count);
    m2 += delta * (value - mean);
}

std::optional<double> FunctionStats::stddev() const
{
    if (count < 2)
        return std::nullopt;
    return std::sqrt(std::max(0.0, m2) / double(count - 1));
}

IntervalSplitter::IntervalSplitter(std::optional<std::int64_t> lengthMs, Sink sink)
    : m_length(lengthMs), m_sink(std::move(sink))
{
}

void IntervalSplitter::add(int function, const std::string& name, std::optional<double> value,
                           bool overload, StatsTime time)
{
    // Most readings fall in the open interval: no division for them.
    const bool inOpen =
        m_open && (!m_length || (time.ms >= m_interval.start.ms && time.ms < m_interval.end.ms));
    if (m_open && !inOpen)
        finish();
    if (!m_open) {
        const std::int64_t bucket = m_length ? floorDivide(time.ms, *m_length) : 0;
        m_open = true;
        m_interval = {};
        m_lastKnown = false;
        if (m_length) {
            m_interval.start = {bucket * *m_length, true};
            m_interval.end = {(bucket + 1) * *m_length, true};
        } else {
            m_interval.start = time;
        }
    }
    if (!m_length)
        m_interval.end = time;
    FunctionStats& figures = figuresFor(function, name);
    if (value)
        figures.add(*value, time);
    else if (overload)
        figures.addOverload();
}

FunctionStats& IntervalSplitter::figuresFor(int function, const std::string& name)
{
    // Runs of one function are usual: the last one is asked first.
    if (m_lastKnown && function == m_lastFunction)
        return m_interval.functions[m_lastIndex];
    std::size_t i = 0;
    while (i < m_interval.functions.size() && m_interval.functions[i].name != name)
        ++i;
    if (i == m_interval.functions.size()) {
        m_interval.functions.emplace_back();
        m_interval.functions.back().name = name;
        m_interval.functions.back().function = function;
    }
    m_lastKnown = true;
    m_lastFunction = function;
    m_lastIndex = i;
    return m_interval.functions[i];
}

void shiftTimes(StatsInterval& interval, std::int64_t ms)
{
    interval.start.ms += ms;
    interval.end.ms += ms;
    for (FunctionStats& f : interval.functions) {
        f.minTime.ms += ms;
        f.maxTime.ms += ms;
    }
}

void IntervalSplitter::shift(std::int64_t ms)
{
    if (m_open)
        shiftTimes(m_interval, ms);
}

void IntervalSplitter::finish(bool partial)
{
    if (!m_open)
        return;
    m_open = false;
    m_interval.partial = partial;
    ++m_closed;
    m_sink(m_interval);
}

} // namespace dmm
