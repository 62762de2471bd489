// SPDX-License-Identifier: MIT
// The chart engine's cursor and its keys, mouse clicks and rubber-band zoom.
#include "PEGraphEngine.h"

#include <algorithm>
#include <cmath>

namespace dmm {

namespace {

// A rubber band thinner than this in one direction does not zoom that direction.
constexpr int kMinZoomPixels = 4;

} // namespace

void PEGraphEngine::placeCursor()
{
    m_cursor->point1->setCoords(m_cursorPoint, 0.0);
    m_cursor->point2->setCoords(m_cursorPoint, 1.0);
    m_cursor->setVisible(m_cursorShown && pointCount() > 0);
}

void PEGraphEngine::repaintCursor()
{
    // Before the first full replot the layer has no buffer of its own, and a
    // pending full replot draws the cursor anyway.
    if (m_replotQueued || !m_replotted || !m_plot->isVisible())
        requestReplot();
    else
        m_cursorLayer->replot();
}

void PEGraphEngine::setCursorPoint(int index, bool byUser)
{
    ensureShape();
    const int n = pointCount();
    index = n > 0 ? std::clamp(index, 0, n - 1) : 0;
    const bool moved = index != m_cursorPoint;
    m_cursorPoint = index;
    placeCursor();
    if (byUser && keepCursorInView())
        requestReplot();
    else
        repaintCursor();
    if (byUser && moved)
        emit q.OnCursorMoved();
}

bool PEGraphEngine::keepCursorInView()
{
    if (!m_zoomed)
        return false;
    const QCPRange range = m_plot->xAxis->range();
    double shift = 0.0;
    if (m_cursorPoint < range.lower)
        shift = m_cursorPoint - 0.5 - range.lower;
    else if (m_cursorPoint > range.upper)
        shift = m_cursorPoint + 0.5 - range.upper;
    if (shift == 0.0)
        return false;
    m_plot->xAxis->moveRange(shift);
    m_plot->xAxis2->setRange(m_plot->xAxis->range());
    return true;
}

bool PEGraphEngine::keyPressed(int key)
{
    switch (key) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Home:
    case Qt::Key_End:
        break;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        // The owner pages through its data on these.
        return true;
    case Qt::Key_Escape:
        // The keys come to the owner, not the plot: cancel a rubber band here.
        if (!m_plot->selectionRect()->isActive())
            return false;
        m_plot->selectionRect()->cancel();
        return true;
    default:
        return false;
    }
    if (!m_cursorShown)
        return true;
    const int n = pointCount();
    int target = m_cursorPoint;
    if (key == Qt::Key_Left)
        target = m_cursorPoint - 1;
    else if (key == Qt::Key_Right)
        target = m_cursorPoint + 1;
    else if (key == Qt::Key_Home)
        target = 0;
    else
        target = n - 1;
    setCursorPoint(target, true);
    return true;
}

void PEGraphEngine::clicked(const QPoint& pos)
{
    if (!m_mouseCursor || !m_cursorShown || pointCount() == 0)
        return;
    if (!m_plot->axisRect()->rect().contains(pos))
        return;
    setCursorPoint(int(std::lround(m_plot->xAxis->pixelToCoord(pos.x()))), true);
}

void PEGraphEngine::zoomTo(const QRect& pixels)
{
    if (m_zooming == PEGraph::gNoZooming)
        return;
    const QRect r = pixels.normalized().intersected(m_plot->axisRect()->rect());
    const bool horizontal =
        m_zooming == PEGraph::gHorzZooming || m_zooming == PEGraph::gHorzPlusVertZooming;
    const bool vertical =
        m_zooming == PEGraph::gVertZooming || m_zooming == PEGraph::gHorzPlusVertZooming;
    const bool zoomX = horizontal && r.width() >= kMinZoomPixels;
    const bool zoomY = vertical && r.height() >= kMinZoomPixels;
    if (!zoomX && !zoomY)
        return;
    if (zoomX) {
        double low = m_plot->xAxis->pixelToCoord(r.left());
        double high = m_plot->xAxis->pixelToCoord(r.right());
        // At least one point's width stays in view.
        if (high - low < 1.0) {
            const double middle = (low + high) / 2.0;
            low = middle - 0.5;
            high = middle + 0.5;
        }
        m_plot->xAxis->setRange(low, high);
        m_plot->xAxis2->setRange(m_plot->xAxis->range());
    }
    if (zoomY) {
        const double low = m_plot->yAxis->pixelToCoord(r.bottom());
        const double high = m_plot->yAxis->pixelToCoord(r.top());
        if (high > low) {
            m_plot->yAxis->setRange(low, high);
            m_plot->yAxis2->setRange(m_plot->yAxis->range());
        }
    }
    m_zoomed = true;
    requestReplot();
    emit q.OnZoomIn();
}

void PEGraphEngine::undoZoom()
{
    m_zoomed = false;
    applyFullView();
    requestReplot();
}

} // namespace dmm
