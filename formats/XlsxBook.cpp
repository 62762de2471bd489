// SPDX-License-Identifier: MIT
#include "XlsxBook.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <mutex>

#include "FileChecks.h"

namespace dmm {

namespace {

// libxlsxwriter prints its own "[ERROR][packager.c:...]" lines on standard
// error besides returning the error, which the caller reports in its own
// words. Its LXW_PRINTF is fixed when the library is built (1.1.4 has no
// option against it), so while a call that may fail runs, standard error
// goes to /dev/null. The descriptor belongs to the process: calls that
// overlap on several threads share one redirection, counted.
class LibraryMessagesMuted
{
public:
    LibraryMessagesMuted()
    {
        const std::lock_guard lock(s_mutex);
        if (s_count++ > 0)
            return;
        std::fflush(stderr);
        s_saved = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0);
        const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (s_saved >= 0 && null >= 0)
            ::dup2(null, STDERR_FILENO);
        if (null >= 0)
            ::close(null);
    }
    ~LibraryMessagesMuted()
    {
        const std::lock_guard lock(s_mutex);
        if (--s_count > 0 || s_saved < 0)
            return;
        std::fflush(stderr);
        ::dup2(s_saved, STDERR_FILENO);
        ::close(s_saved);
        s_saved = -1;
    }
    LibraryMessagesMuted(const LibraryMessagesMuted&) = delete;
    LibraryMessagesMuted& operator=(const LibraryMessagesMuted&) = delete;

private:
    static inline std::mutex s_mutex;
    static inline int s_count = 0;
    static inline int s_saved = -1;
};

// The library's errors that come from a file it could not make, write or
// read, where the system's errno says more than the library's text
// ("Error creating output xlsx file. Usually a permissions error.").
bool isFileError(lxw_error error)
{
    switch (error) {
    case LXW_ERROR_CREATING_XLSX_FILE:
    case LXW_ERROR_CREATING_TMPFILE:
    case LXW_ERROR_READING_TMPFILE:
    case LXW_ERROR_ZIP_FILE_OPERATION:
    case LXW_ERROR_ZIP_FILE_ADD:
    case LXW_ERROR_ZIP_CLOSE:
        return true;
    default:
        return false;
    }
}

QString errorText(lxw_error error, int systemError)
{
    if (systemError != 0 && isFileError(error))
        return systemReason(systemError);
    return QString::fromUtf8(lxw_strerror(error));
}

// The folder part of a file name, "." for a bare name.
QByteArray folderOf(const QByteArray& name)
{
    const qsizetype slash = name.lastIndexOf('/');
    return slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : name.left(slash);
}

} // namespace

XlsxBook::XlsxBook(const QByteArray& path) : m_tmpdir(folderOf(path))
{
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = m_tmpdir.data();
    options.use_zip64 = LXW_TRUE;
    const LibraryMessagesMuted muted;
    m_book = workbook_new_opt(path.constData(), &options);
    if (!m_book)
        return;
    m_timeFormat = workbook_add_format(m_book);
    m_header = workbook_add_format(m_book);
    if (!m_timeFormat || !m_header) {
        check(LXW_ERROR_MEMORY_MALLOC_FAILED);
        return;
    }
    format_set_num_format(m_timeFormat, "yyyy-mm-dd hh:mm:ss.000");
    format_set_bold(m_header);
}

XlsxBook::~XlsxBook()
{
    if (m_book)
        lxw_workbook_free(m_book);
}

std::optional<QString> XlsxBook::failure() const
{
    if (!m_book)
        return QString::fromUtf8(lxw_strerror(LXW_ERROR_MEMORY_MALLOC_FAILED));
    if (m_error != LXW_NO_ERROR)
        return errorText(m_error, m_systemError);
    return std::nullopt;
}

void XlsxBook::check(lxw_error error)
{
    if (error != LXW_NO_ERROR && m_error == LXW_NO_ERROR) {
        m_error = error;
        m_systemError = errno;
    }
}

lxw_worksheet* XlsxBook::addSheet(const char* name)
{
    errno = 0;
    lxw_worksheet* sheet = nullptr;
    {
        const LibraryMessagesMuted muted;
        sheet = workbook_add_worksheet(m_book, name);
    }
    if (!sheet)
        check(errno != 0 ? LXW_ERROR_CREATING_TMPFILE : LXW_ERROR_MEMORY_MALLOC_FAILED);
    else
        m_sheets.push_back(sheet);
    return sheet;
}

std::optional<QString> XlsxBook::close()
{
    // In constant-memory mode each sheet's rows wait in a temporary file of
    // the library's, written with stdio and never checked there: a row the
    // disk refused would be missing from the sheet without a word.
    for (lxw_worksheet* sheet : m_sheets) {
        FILE* rows = sheet->optimize_tmpfile;
        errno = 0;
        if (rows && (std::fflush(rows) != 0 || std::ferror(rows)))
            check(LXW_ERROR_ZIP_FILE_OPERATION);
    }
    if (m_error != LXW_NO_ERROR)
        return failure();
    const LibraryMessagesMuted muted;
    errno = 0;
    const lxw_error closed = workbook_close(m_book);
    const int systemError = errno;
    m_book = nullptr;
    if (closed != LXW_NO_ERROR)
        return errorText(closed, systemError);
    return std::nullopt;
}

} // namespace dmm
