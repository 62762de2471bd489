// SPDX-License-Identifier: MIT
#include "TableFile.h"

#include "AtomicFile.h"
#include "XlsxTable.h"

namespace dmm {

std::optional<QString> writeTableFile(const QString& path, const TableFormat& format,
                                      QDate firstRecordDate, RecordRuns& records, JobControl* job,
                                      TableFileResult* result)
{
    if (isXlsxName(path)) {
        XlsxTableResult written;
        const auto error =
            writeXlsxTable(path, format.utc, firstRecordDate, records, job, &written);
        if (result)
            *result = {written.rows, written.datesInferred};
        return error;
    }
    TableProducer table(format, firstRecordDate, records);
    const auto error = writeFileAtomically(
        path, [&table](QByteArray& block) { return table.nextBlock(block); }, job);
    if (result)
        *result = {table.rows(), table.datesInferred()};
    return error;
}

} // namespace dmm
