// SPDX-License-Identifier: MIT
#include "PrintSession.h"

#include <qcustomplot.h>

#include <QPrinter>

namespace dmm {

PrintSession::PrintSession() = default;

PrintSession::~PrintSession()
{
    end();
}

bool PrintSession::begin(QPrinter* printer, int dpi)
{
    end();
    m_oldResolution = printer->resolution();
    printer->setResolution(dpi);
    m_painter = std::make_unique<QCPPainter>();
    if (!m_painter->begin(printer)) {
        m_painter.reset();
        printer->setResolution(m_oldResolution);
        return false;
    }
    m_painter->setMode(QCPPainter::pmVectorized);
    m_printer = printer;
    return true;
}

bool PrintSession::newPage()
{
    return m_printer && m_printer->newPage();
}

bool PrintSession::end()
{
    if (!m_printer)
        return false;
    const bool ended = m_painter->end();
    const bool ok = ended && m_printer->printerState() != QPrinter::Error;
    m_printer->setResolution(m_oldResolution);
    m_painter.reset();
    m_printer = nullptr;
    return ok;
}

QSizeF PrintSession::pageSize() const
{
    return m_printer ? QSizeF(m_printer->width(), m_printer->height()) : QSizeF();
}

} // namespace dmm
