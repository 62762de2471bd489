// SPDX-License-Identifier: MIT
// A workbook written through libxlsxwriter in constant memory, for the
// table and the statistics: every result of the library checked, the first
// failure kept with the system's reason where a file was to blame, the
// library's own messages kept off standard error, and the sheets' temporary
// files checked before the workbook is closed.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

#include <xlsxwriter.h>

namespace dmm {

class XlsxBook
{
public:
    // `path` as the system names it, byte for byte; the library's own
    // temporary files go beside it.
    explicit XlsxBook(const QByteArray& path);
    ~XlsxBook(); // not closed: freed with its temporary files, the output unfinished
    XlsxBook(const XlsxBook&) = delete;
    XlsxBook& operator=(const XlsxBook&) = delete;

    // Why the workbook cannot be written; none while it can.
    std::optional<QString> failure() const;
    // Keeps the first error; errno then says what the system refused.
    void check(lxw_error error);

    // A sheet added after the others; null (and the failure kept) when the
    // library cannot make it.
    lxw_worksheet* addSheet(const char* name);
    lxw_format* timeFormat() const { return m_timeFormat; } // yyyy-mm-dd hh:mm:ss.000
    lxw_format* header() const { return m_header; }         // bold

    // Writes the file; the reason when it cannot.
    std::optional<QString> close();

private:
    QByteArray m_tmpdir;
    lxw_workbook* m_book = nullptr;
    lxw_format* m_timeFormat = nullptr;
    lxw_format* m_header = nullptr;
    std::vector<lxw_worksheet*> m_sheets;
    lxw_error m_error = LXW_NO_ERROR;
    int m_systemError = 0; // errno when m_error was set
};

} // namespace dmm
