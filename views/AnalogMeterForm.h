// SPDX-License-Identifier: MIT
// The analog meter: the current reading as a needle over a printed dial, with
// the multiplier, prefix and unit in a small black panel under it and a plus or
// minus lamp beside that panel.
#pragma once

#include <QPixmap>
#include <QTimer>
#include <QWidget>

#include "AnalogMeterLogic.h"

class QFrame;
class QLabel;

namespace dmm {

class TAnalogMeterForm : public QWidget
{
    Q_OBJECT
public:
    // Places itself under the main window and the digital meter (their outer
    // heights) and shows itself.
    TAnalogMeterForm(const QWidget* mainWindow, const QWidget* digitalMeter,
                     QWidget* parent = nullptr);

    // Under the digital meter, a quarter of the screen wide, as high as the
    // frame picture with its border; at creation and when the windows are tiled.
    void placeUnder(const QWidget* mainWindow, const QWidget* digitalMeter);

    // Written by the acquisition loop for every decoded frame, shown on the next 1026.
    dmm::AnalogInputs& inputs() { return m_inputs; }
    const dmm::AnalogInputs& inputs() const { return m_inputs; }

    double angle() const { return dAngle; }
    double previousAngle() const { return dPrevAngle; }
    double shownAngle() const { return m_shownAngle; } // differs from angle() during a sweep
    bool isSweeping() const { return m_sweepTimer.isActive(); }
    int drawnFunction() const { return iDrawnFunction; }
    int drawnFace() const { return m_drawnFace; }
    // Counters that let tests see what a reading drew.
    int dialDrawCount() const { return m_dialDraws; }
    int needleFrameCount() const { return m_needleFrames; }
    int repaintRequestCount() const { return m_repaintRequests; }

    // The needle's pivot and the dial's left edge in client coordinates.
    QPoint needlePivot() const;
    int frameLeft() const;

    QFrame* Panel1 = nullptr;
    QLabel* MultPanel = nullptr; // multiplier
    QLabel* UnitPanel = nullptr; // prefix
    QLabel* FuncPanel = nullptr; // unit

    static constexpr QSize kFrameSize{198, 178};
    static constexpr int kNeedleLength = 100;
    static constexpr int kPivotY = 132;
    static constexpr int kSweepSteps = 10;
    static constexpr int kSweepStepMs = 15;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void readingUpdate();
    void fullRedraw();
    void drawDial(int face);
    bool drawSignLamp(bool onFreshDial);
    void showCurrentInputs();
    void refreshPanels();
    void moveNeedle();
    void sweepStep();
    void placePanel();
    void rebuildBacking();
    void requestRepaint(const QRect& area);
    QRect needleArea(double angle) const;
    QRect lampRect() const;
    void describeReading();

    dmm::AnalogInputs m_inputs;
    double dAngle = dmm::kAnalogRestAngle;
    double dPrevAngle = dmm::kAnalogRestAngle;
    int iDrawnFunction = 5;

    QPixmap bmpFrame;
    QPixmap bmpFace;
    QPixmap bmpSign;
    int m_drawnFace = 0;
    bool m_lampNegative = false;
    // Frame, face and lamp as last drawn; the needle is painted over it, which
    // stands in for drawing the needle into the screen with exclusive-or.
    QPixmap m_dial;

    QTimer m_sweepTimer;
    int m_sweepIndex = 0;
    double m_sweepFrom = dmm::kAnalogRestAngle;
    double m_shownAngle = dmm::kAnalogRestAngle;

    int m_dialDraws = 0;
    int m_needleFrames = 0;
    int m_repaintRequests = 0;
};

} // namespace dmm
