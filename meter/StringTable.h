// SPDX-License-Identifier: MIT
// Every numbered text the program shows, looked up by its number.
#pragma once

#include <QString>

#include <initializer_list>

namespace dmm {

// Well-known entries used from more than one place.
enum StringId : int
{
    kStrTitle = 1,        // "Data Logging System"
    kStrSettingsFile = 7, // settings file name
    kStrModel = 54,
    kStrWarningCaption = 8999,
    kStrPortInUseBy = 9091, // "The port is in use by another program (process %1)."
    kStrPortInUse = 9092,   // "The port is in use by another program."
    kStrNoSuchPort = 9093,  // "Port %1 does not exist: the ports are COM1 to COM10."
    // "The temporary file could not be written: %1"
    kStrTempFileWrite = 9094,
    kStrErrorCaption = 9999,
};

// The text of entry `id`; an empty text for a number the table does not hold.
QString tableString(int id);
bool hasTableString(int id);

// A table text with each "%d" filled, in order, by the numbers given
// ("Page : %d of %d" with 2 and 5 gives "Page : 2 of 5").
QString fillNumbers(QString format, std::initializer_list<long long> numbers);

// "Error[E9001]" / "Warning[W8001]": the caption entry filled with the message's number.
QString messageCaption(int captionId, int messageId);

} // namespace dmm
