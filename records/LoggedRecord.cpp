// SPDX-License-Identifier: MIT
#include "LoggedRecord.h"

#include "RecordStamp.h"
#include "RecordValue.h"

namespace dmm {

std::optional<TARecord> loggedRecord(const CurrentReading& reading, const std::string& timeStamp)
{
    const auto value = recordValue(reading.sDigits, reading.sExponent, reading.iFunction);
    if (!value)
        return std::nullopt;
    TARecord record;
    record.display = reading.sDigits;
    record.exponent = reading.sExponent;
    record.function = reading.iFunction;
    record.timeStamp = timeStamp;
    record.value = reading.szValue.view();
    record.prefix = reading.szPrefix.view();
    record.unit = reading.szUnit.view();
    record.fValue = *value;
    record.subDisplay = reading.sPfText;
    return record;
}

std::optional<TARecord> loggedRecord(const CurrentReading& reading, const QDateTime& time)
{
    const QTime clock = time.toLocalTime().time();
    auto record = loggedRecord(
        reading, formatTimeStamp(clock.hour(), clock.minute(), clock.second(), clock.msec()));
    if (record)
        setRecordStamp(*record, time.toMSecsSinceEpoch());
    return record;
}

} // namespace dmm
