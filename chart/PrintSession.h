// SPDX-License-Identifier: MIT
// One painter session on a printer, pages laid out at a given resolution: a
// session is one print job, or one file when the printer writes to a file.
// Private to this folder.
#pragma once

#include <memory>

#include <QSizeF>

class QCPPainter;
class QPrinter;

namespace dmm {

class PrintSession
{
public:
    PrintSession();
    ~PrintSession(); // ends an open session
    PrintSession(const PrintSession&) = delete;
    PrintSession& operator=(const PrintSession&) = delete;

    // Starts the job (the printer then prints at `dpi` until end()). False
    // when the printer refuses.
    bool begin(QPrinter* printer, int dpi);
    // The next sheet of the same job. False when the printer refuses.
    bool newPage();
    // Ends the job and gives the printer its resolution back. False when the
    // printer failed at any point of the job.
    bool end();

    bool isActive() const { return m_printer != nullptr; }
    QPrinter* printer() const { return m_printer; }
    QCPPainter& painter() { return *m_painter; }
    QSizeF pageSize() const;

private:
    std::unique_ptr<QCPPainter> m_painter;
    QPrinter* m_printer = nullptr;
    int m_oldResolution = 0;
};

} // namespace dmm
