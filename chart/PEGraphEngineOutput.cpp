// SPDX-License-Identifier: MIT
// The chart engine's picture output: SVG and bitmap files, the clipboard and the printer.
#include "PEGraphEngine.h"

#include "AtomicFile.h"
#include "ChartLogic.h"
#include "PrintSession.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QImageWriter>
#include <QMimeData>
#include <QPrinter>
#include <QRegularExpression>
#include <QSvgGenerator>

#include <functional>

#include <algorithm>

namespace dmm {

namespace {

// Pictures are laid out at screen resolution: the layout's font metrics come
// from the screen, so any other device resolution would misplace the texts.
constexpr int kLayoutDpi = 96;
constexpr int kMaxPicturePixels = 10000;
// Default picture size when the chart has never been laid out on screen.
constexpr QSize kFallbackSize(800, 600);

bool isUsableSize(QSize size)
{
    return size.width() >= 1 && size.height() >= 1 && size.width() <= kMaxPicturePixels &&
           size.height() <= kMaxPicturePixels;
}

bool saveBytes(const QString& fileName, const QByteArray& bytes, QString* error)
{
    if (const auto reason = writeFileAtomically(fileName, bytes)) {
        *error = QStringLiteral("Cannot write %1: %2").arg(fileName, *reason);
        return false;
    }
    return true;
}

// QSvgGenerator states the size as pixels over its whole-number resolution,
// which misses most millimetre sizes by a fraction; the outer element gets the
// exact size the caller asked for.
QByteArray withPhysicalSize(QByteArray svg, QSize hundredths)
{
    static const QRegularExpression outer(
        QStringLiteral("<svg\\s+width=\"[^\"]*\"\\s+height=\"[^\"]*\""));
    const QString text = QString::fromUtf8(svg);
    const QRegularExpressionMatch match = outer.match(text);
    if (!match.hasMatch())
        return svg;
    const QString replacement = QStringLiteral("<svg width=\"%1mm\" height=\"%2mm\"")
                                    .arg(hundredths.width() / 100.0, 0, 'g', 12)
                                    .arg(hundredths.height() / 100.0, 0, 'g', 12);
    QString fixed = text;
    fixed.replace(match.capturedStart(), match.capturedLength(), replacement);
    return fixed.toUtf8();
}

// Exports draw the chart at another size without the cursor; afterwards the
// screen is laid out again.
class ExportScope
{
public:
    ExportScope(QCPItemStraightLine* cursor, std::function<void()> restore)
        : m_cursor(cursor), m_visible(cursor->visible()), m_restore(std::move(restore))
    {
        m_cursor->setVisible(false);
    }
    ~ExportScope()
    {
        m_cursor->setVisible(m_visible);
        m_restore();
    }
    ExportScope(const ExportScope&) = delete;
    ExportScope& operator=(const ExportScope&) = delete;

private:
    QCPItemStraightLine* m_cursor;
    bool m_visible;
    std::function<void()> m_restore;
};

} // namespace

QSize PEGraphEngine::defaultPixelSize() const
{
    const QSize size = q.size();
    if (size.width() < 200 || size.height() < 150)
        return kFallbackSize;
    return size;
}

QSize PEGraphEngine::actionPixels() const
{
    return (m_actionWidth > 0 && m_actionHeight > 0) ? QSize(m_actionWidth, m_actionHeight)
                                                     : defaultPixelSize();
}

QSize PEGraphEngine::actionHundredths() const
{
    return (m_actionWidth > 0 && m_actionHeight > 0)
               ? QSize(m_actionWidth, m_actionHeight)
               : chart::pixelsToHundredths(defaultPixelSize(), kLayoutDpi);
}

bool PEGraphEngine::fail(const QString& why)
{
    q.m_lastError = why;
    return false;
}

QImage PEGraphEngine::renderBitmap(QSize pixels, QString* error)
{
    if (!isUsableSize(pixels)) {
        *error = QStringLiteral("A picture of %1 by %2 pixels cannot be made.")
                     .arg(pixels.width())
                     .arg(pixels.height());
        return {};
    }
    ExportScope scope(m_cursor, [this] { requestReplot(); });
    const QPixmap pixmap = m_plot->toPixmap(pixels.width(), pixels.height(), 1.0);
    if (pixmap.isNull()) {
        *error = QStringLiteral("Not enough memory for a picture of %1 by %2 pixels.")
                     .arg(pixels.width())
                     .arg(pixels.height());
        return {};
    }
    return pixmap.toImage();
}

QByteArray PEGraphEngine::renderSvg(QSize hundredths, QString* error)
{
    const QSize pixels = chart::hundredthsToPixels(hundredths, kLayoutDpi);
    if (hundredths.width() < 1 || hundredths.height() < 1 || !isUsableSize(pixels)) {
        *error = QStringLiteral("A picture of %1 by %2 hundredths of a millimetre cannot be made.")
                     .arg(hundredths.width())
                     .arg(hundredths.height());
        return {};
    }
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator generator;
    generator.setOutputDevice(&buffer);
    generator.setSize(pixels);
    generator.setViewBox(QRect(QPoint(0, 0), pixels));
    generator.setResolution(kLayoutDpi);
    generator.setTitle(q.MainTitle);
    {
        ExportScope scope(m_cursor, [this] { requestReplot(); });
        QCPPainter painter;
        if (!painter.begin(&generator)) {
            *error = QStringLiteral("The picture could not be drawn.");
            return {};
        }
        painter.setMode(QCPPainter::pmVectorized);
        m_plot->toPainter(&painter, pixels.width(), pixels.height());
        painter.end();
    }
    return withPhysicalSize(buffer.data(), hundredths);
}

bool PEGraphEngine::writeBitmapFile()
{
    if (m_actionFileName.isEmpty())
        return fail(QStringLiteral("No file name was given."));
    const QSize pixels = actionPixels();
    QString error;
    const QImage image = renderBitmap(pixels, &error);
    if (image.isNull())
        return fail(error);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, chart::bitmapFileFormat(m_actionFileName));
    if (!writer.write(image))
        return fail(writer.errorString());
    if (!saveBytes(m_actionFileName, bytes, &error))
        return fail(error);
    return true;
}

bool PEGraphEngine::writeSvgFile()
{
    if (m_actionFileName.isEmpty())
        return fail(QStringLiteral("No file name was given."));
    const QSize hundredths = actionHundredths();
    QString error;
    const QByteArray svg = renderSvg(hundredths, &error);
    if (svg.isEmpty())
        return fail(error);
    if (!saveBytes(m_actionFileName, svg, &error))
        return fail(error);
    return true;
}

bool PEGraphEngine::copySvg()
{
    const QSize hundredths = actionHundredths();
    QString error;
    const QByteArray svg = renderSvg(hundredths, &error);
    if (svg.isEmpty())
        return fail(error);
    // Programs that cannot take the vector picture paste the bitmap instead.
    const QImage image = renderBitmap(chart::hundredthsToPixels(hundredths, kLayoutDpi), &error);
    if (image.isNull())
        return fail(error);
    auto* mime = new QMimeData;
    mime->setData(QStringLiteral("image/svg+xml"), svg);
    mime->setImageData(image);
    QApplication::clipboard()->setMimeData(mime);
    return true;
}

bool PEGraphEngine::copyBitmap()
{
    const QSize pixels = actionPixels();
    QString error;
    const QImage image = renderBitmap(pixels, &error);
    if (image.isNull())
        return fail(error);
    QApplication::clipboard()->setImage(image);
    return true;
}

bool PEGraphEngine::printChart()
{
    return printAt(defaultPixelSize(), true);
}

bool PEGraphEngine::printImage()
{
    const QSize hundredths =
        (m_actionWidth > 0 && m_actionHeight > 0)
            ? chart::printImageSize(QSize(m_actionWidth, m_actionHeight), kLayoutDpi)
            : chart::pixelsToHundredths(defaultPixelSize(), kLayoutDpi);
    const QSize pixels = chart::hundredthsToPixels(hundredths, kLayoutDpi);
    if (!isUsableSize(pixels))
        return fail(QStringLiteral("A picture of %1 by %2 cannot be printed.")
                        .arg(m_actionWidth)
                        .arg(m_actionHeight));
    return printAt(pixels, false);
}

bool PEGraphEngine::printAt(QSize pixels, bool fitToPage)
{
    QPrinter* printer = q.m_printer;
    if (!printer)
        return fail(QStringLiteral("No printer has been chosen."));
    // A printer that writes to a file would write a whole file per job, each
    // replacing the last: while a document is open, its pages share one job.
    const bool intoDocument = m_documentOpen && !printer->outputFileName().isEmpty();
    const bool continuing = intoDocument && m_document.printer() == printer;
    if (!continuing && printer->printerState() == QPrinter::Active)
        return fail(QStringLiteral("The printer is busy."));
    PrintSession single;
    PrintSession& session = intoDocument ? m_document : single;
    // Laid out at screen resolution and drawn 1:1 at 96 dpi, the texts keep
    // their size; at the printer's own resolution they would come out huge.
    const bool started = continuing ? session.newPage() : session.begin(printer, kLayoutDpi);
    if (!started) {
        if (intoDocument)
            m_document.end();
        return fail(QStringLiteral("The chart could not be printed."));
    }
    QCPPainter& painter = session.painter();
    painter.save();
    const QSizeF page = session.pageSize();
    double scale = std::min(page.width() / pixels.width(), page.height() / pixels.height());
    if (!fitToPage)
        scale = std::min(scale, 1.0);
    if (fitToPage)
        painter.translate((page.width() - pixels.width() * scale) / 2.0, 0.0);
    painter.scale(scale, scale);
    {
        ExportScope scope(m_cursor, [this] { requestReplot(); });
        m_plot->toPainter(&painter, pixels.width(), pixels.height());
    }
    painter.restore();
    const bool ok = intoDocument ? printer->printerState() != QPrinter::Error : single.end();
    if (!ok)
        return fail(QStringLiteral("The chart could not be printed."));
    return true;
}

void PEGraphEngine::beginPrintDocument()
{
    m_document.end();
    m_documentOpen = true;
}

bool PEGraphEngine::endPrintDocument()
{
    m_documentOpen = false;
    if (!m_document.isActive())
        return true;
    return m_document.end() || fail(QStringLiteral("The chart could not be printed."));
}

} // namespace dmm
