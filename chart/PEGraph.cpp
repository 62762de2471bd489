// SPDX-License-Identifier: MIT
#include "PEGraph.h"

#include "PEGraphEngine.h"

#include <QApplication>
#include <QKeyEvent>

namespace dmm {

PEGraph::PEGraph(QWidget* parent) : QWidget(parent)
{
    m_engine = std::make_unique<PEGraphEngine>(*this);
}

PEGraph::~PEGraph() = default;

void PEGraph::SetYData(int subset, int point, double value)
{
    m_engine->setValue(subset, point, value);
}

double PEGraph::GetYData(int subset, int point) const
{
    return m_engine->value(subset, point);
}

void PEGraph::SetPointLabel(int point, const QString& text)
{
    m_engine->setLabel(point, text);
}

QString PEGraph::GetPointLabel(int point) const
{
    return m_engine->label(point);
}

void PEGraph::AppendPoint(const QString& label, double value)
{
    m_engine->appendPoint(label, value);
}

void PEGraph::SetSubsetColor(int subset, const QColor& color)
{
    m_engine->setSubsetColor(subset, color);
}

QColor PEGraph::GetSubsetColor(int subset) const
{
    return m_engine->subsetColor(subset);
}

void PEGraph::SetSubsetStyle(int subset, int style)
{
    m_engine->setSubsetStyle(subset, style);
}

void PEGraph::SetCursorPoint(int index)
{
    m_engine->setCursorPoint(index, false);
}

int PEGraph::GetCursorPoint() const
{
    return m_engine->cursorPoint();
}

void PEGraph::SetActionWidth(int width)
{
    m_engine->setActionWidth(width);
}

void PEGraph::SetActionHeight(int height)
{
    m_engine->setActionHeight(height);
}

void PEGraph::SetActionFileName(const QString& fileName)
{
    m_engine->setActionFileName(fileName);
}

void PEGraph::beginPrintDocument()
{
    m_engine->beginPrintDocument();
}

bool PEGraph::endPrintDocument()
{
    m_lastError.clear();
    return m_engine->endPrintDocument();
}

bool PEGraph::RunAction(int code)
{
    m_lastError.clear();
    switch (code) {
    case 0:
    case 2:
        m_engine->rebuild();
        return true;
    case 8:
        return m_engine->printChart();
    case 12:
        return m_engine->copySvg();
    case 13:
        return m_engine->writeSvgFile();
    case 14:
        return m_engine->copyBitmap();
    case 15:
        return m_engine->writeBitmapFile();
    case 18:
        return m_engine->printImage();
    case 19:
        m_engine->undoZoom();
        return true;
    default:
        m_lastError = QStringLiteral("The chart has no action %1.").arg(code);
        return false;
    }
}

bool PEGraph::printInBlackAndWhite(ChartAction print, ChartAction after, bool drawFirst)
{
    ViewingStyle = gMonochrome;
    RunAction(ChartAction::RebuildImage);
    if (drawFirst)
        QApplication::processEvents();
    const bool printed = RunAction(print);
    const QString error = m_lastError;
    ViewingStyle = gColor;
    RunAction(after);
    m_lastError = error;
    return printed;
}

bool PEGraph::isZoomed() const
{
    return m_engine->isZoomed();
}

void PEGraph::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    emit OnKeyDown(key);
    if (m_engine->keyPressed(key))
        event->accept();
    else
        QWidget::keyPressEvent(event);
}

QWidget* PEGraph::canvas() const
{
    return m_engine->plot();
}

QRect PEGraph::plotArea() const
{
    return m_engine->plotArea();
}

int PEGraph::pointPixelX(int point) const
{
    return m_engine->pointPixelX(point);
}

double PEGraph::plottedValue(int subset, int point) const
{
    return m_engine->plottedValue(subset, point);
}

int PEGraph::markerCount(int subset) const
{
    return m_engine->markerCount(subset);
}

std::pair<double, double> PEGraph::visibleXRange() const
{
    return m_engine->visibleXRange();
}

std::pair<double, double> PEGraph::visibleYRange() const
{
    return m_engine->visibleYRange();
}

} // namespace dmm
