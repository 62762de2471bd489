// SPDX-License-Identifier: MIT
#include "EntryStatistics.h"

#include <QDateTime>

#include "RecordStamp.h"
#include "SiUnits.h"
#include "TableExport.h"

namespace dmm {

void EntryStatistics::add(std::span<const TARecord> records, std::size_t firstIndex)
{
    std::size_t index = firstIndex;
    for (const TARecord& record : records) {
        if (!m_lastKnown || record.function != m_lastFunction) {
            const std::string name = functionName(record.function);
            std::size_t i = 0;
            while (i < m_functions.size() && m_functions[i].name != name)
                ++i;
            if (i == m_functions.size()) {
                m_functions.emplace_back();
                m_functions.back().name = name;
                m_functions.back().function = record.function;
            }
            m_lastKnown = true;
            m_lastFunction = record.function;
            m_lastIndex = i;
        }
        FunctionStats& figures = m_functions[m_lastIndex];
        if (isOverload(record))
            figures.addOverload();
        else if (const auto value = m_numbers.of(record))
            figures.add(*value, {std::int64_t(index), true});
        ++index;
    }
    m_counted = index;
}

std::string entryTimeText(const TARecord& record)
{
    if (const auto stamp = recordStamp(record))
        return QDateTime::fromMSecsSinceEpoch(*stamp)
            .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"))
            .toStdString();
    std::string text = record.timeStamp.str();
    const auto first = text.find_first_not_of(' ');
    const auto last = text.find_last_not_of(' ');
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

} // namespace dmm
