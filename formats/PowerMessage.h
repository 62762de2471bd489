// SPDX-License-Identifier: MIT
// What dmm-log publishes of a paired volt and ampere meter under PREFIX/power,
// one message per row of their table (QoS 1, not retained):
//   {"time":"2026-12-07T14:33:16.077+01:00","power":6.0,"energy":0.0125,
//    "charge":0.00208,"seq":12}
// power in W (null where the row holds no pair), energy in Wh and charge in
// Ah from the start of the run, numbers as the table writes them
// (MeterTable.h) with a point; seq the row's number from the start.
#pragma once

#include <QDateTime>
#include <QString>

#include <string>

#include "PowerIntegral.h"

namespace dmm::logtool {

// "PREFIX/power".
std::string powerTopic(const QString& prefix);

std::string powerPayload(long long seq, const QDateTime& time, const PowerRow& row);

} // namespace dmm::logtool
