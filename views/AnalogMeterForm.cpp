// SPDX-License-Identifier: MIT
#include "AnalogMeterForm.h"

#include "MeterFunction.h"

#include "Artwork.h"
#include "DisplayLabels.h"
#include "PanelFaces.h"
#include "StringTable.h"
#include "ViewMessages.h"
#include "WindowMetrics.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>

namespace dmm {

namespace {

constexpr QSize kPanelSize{72, 20};
constexpr int kPanelTop = 78;
constexpr int kLampSide = 11;
// The face sits inside the frame's white display area.
constexpr QPoint kFaceOffset{9, 28};

QSize faceSize(int face)
{
    return face == 13 ? QSize(180, 60) : QSize(180, 62);
}

QFont panelFont(const QString& family)
{
    QFont font(family, 8);
    // The panel's 31 pixels hold "x1000" only in a narrow cut of the face.
    font.setStretch(QFont::Condensed);
    return font;
}

} // namespace

TAnalogMeterForm::TAnalogMeterForm(const QWidget* mainWindow, const QWidget* digitalMeter,
                                   QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("AnalogMeterForm"));
    setWindowTitle(tableString(101));
    setWindowIcon(artworkIcon(QStringLiteral("icon-analog-meter")));
    setAccessibleName(tableString(101));

    bmpFrame = artworkPixmap(QStringLiteral("analog-frame"), kFrameSize, devicePixelRatioF());

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setLineWidth(1);
    Panel1->setGeometry(QRect(QPoint(0, kPanelTop), kPanelSize));
    auto* row = new QHBoxLayout(Panel1);
    row->setContentsMargins(1, 1, 1, 1);
    row->setSpacing(0);
    const QString sansSerif = QStringLiteral("MS Sans Serif");
    MultPanel = makeDisplayLabel(Panel1, "MultPanel", panelFont(sansSerif));
    UnitPanel = makeDisplayLabel(Panel1, "UnitPanel", panelFont(sansSerif));
    FuncPanel = makeDisplayLabel(Panel1, "FuncPanel", panelFont(sansSerif));
    UnitPanel->setFixedWidth(19);
    FuncPanel->setFixedWidth(20);
    row->addWidget(MultPanel, 1);
    row->addWidget(UnitPanel);
    row->addWidget(FuncPanel);

    m_sweepTimer.setInterval(kSweepStepMs);
    connect(&m_sweepTimer, &QTimer::timeout, this, &TAnalogMeterForm::sweepStep);

    placeUnder(mainWindow, digitalMeter);

    iDrawnFunction = m_inputs.iFunction;
    rebuildBacking();
    refreshPanels();
    describeReading();
    show();
}

void TAnalogMeterForm::placeUnder(const QWidget* mainWindow, const QWidget* digitalMeter)
{
    // Outer size: the frame picture plus two frames' worth of border above and
    // below it, and the caption.
    const int width = screenMetrics().screen.width() / 4;
    const int height = kFrameSize.height() + 4 * dialogFrameHeight() + captionHeight();
    const int top =
        (mainWindow ? outerHeight(mainWindow) : 0) + (digitalMeter ? outerHeight(digitalMeter) : 0);
    setOuterGeometry(this, 0, top, width, height);
    setFixedSize(size()); // single border: the user cannot resize it
}

QPoint TAnalogMeterForm::needlePivot() const
{
    return {width() / 2, kPivotY};
}

// The face's arc is centred 99 pixels right of the frame's left edge, so the
// frame is placed from the pivot: for any client width the arcs and the needle
// share one centre.
int TAnalogMeterForm::frameLeft() const
{
    return width() / 2 - kFrameSize.width() / 2;
}

bool TAnalogMeterForm::event(QEvent* event)
{
    if (viewMessageOf(event) == WM_DMM_NEWDATA) {
        readingUpdate();
        return true;
    }
    return QWidget::event(event);
}

void TAnalogMeterForm::readingUpdate()
{
    if (iDrawnFunction != m_inputs.iFunction ||
        asFunction(m_inputs.iFunction) == MeterFunction::Capacitance)
        fullRedraw();
    else if (drawSignLamp(false))
        requestRepaint(lampRect());
    refreshPanels();
    moveNeedle();
    describeReading();
}

void TAnalogMeterForm::fullRedraw()
{
    iDrawnFunction = m_inputs.iFunction;
    drawDial(dialFaceFor(iDrawnFunction));
    drawSignLamp(true);
    refreshPanels();
    requestRepaint(rect());
}

void TAnalogMeterForm::drawDial(int face)
{
    if (face != m_drawnFace || bmpFace.isNull()) {
        bmpFace =
            artworkPixmap(QStringLiteral("face-%1").arg(face), faceSize(face), devicePixelRatioF());
        m_drawnFace = face;
    }
    ++m_dialDraws;
    if (m_dial.isNull())
        return;
    QPainter painter(&m_dial);
    painter.fillRect(QRect(QPoint(0, 0), size()), palette().window());
    const int left = frameLeft();
    painter.drawPixmap(left, 0, bmpFrame);
    painter.drawPixmap(left + kFaceOffset.x(), kFaceOffset.y(), bmpFace);
}

QRect TAnalogMeterForm::lampRect() const
{
    const QRect panel = Panel1->geometry();
    return {panel.left() - (kLampSide + kLampSide / 2), panel.bottom() + 1 - kLampSide, kLampSide,
            kLampSide};
}

bool TAnalogMeterForm::drawSignLamp(bool onFreshDial)
{
    const bool negative = m_inputs.bNegative;
    if (!onFreshDial && !bmpSign.isNull() && negative == m_lampNegative)
        return false; // the same lamp is already on the dial
    bmpSign = artworkPixmap(negative ? QStringLiteral("lamp-minus") : QStringLiteral("lamp-plus"),
                            QSize(kLampSide, kLampSide), devicePixelRatioF());
    m_lampNegative = negative;
    if (!m_dial.isNull()) {
        QPainter painter(&m_dial);
        painter.drawPixmap(lampRect().topLeft(), bmpSign);
    }
    return true;
}

void TAnalogMeterForm::refreshPanels()
{
    const QString mult = multiplierText(m_inputs.iMultExp);
    if (MultPanel->text() != mult)
        MultPanel->setText(mult);

    showInFace(UnitPanel, QString::fromLatin1(m_inputs.prefix.view()),
               prefixPanelStyle(m_inputs.iFunction));
    showInFace(FuncPanel, QString::fromLatin1(m_inputs.unit.view()),
               unitPanelStyle(m_inputs.iFunction));
}

void TAnalogMeterForm::moveNeedle()
{
    dPrevAngle = dAngle;
    dAngle = analogNeedleAngle(m_inputs.iCount, m_inputs.iFullScale);
    if (dAngle == dPrevAngle)
        return;
    // A brief sweep from the old position; it always ends on the new angle itself.
    m_sweepFrom = dPrevAngle;
    m_sweepIndex = 0;
    m_sweepTimer.start();
}

void TAnalogMeterForm::sweepStep()
{
    ++m_sweepIndex;
    const double before = m_shownAngle;
    if (m_sweepIndex >= kSweepSteps) {
        m_sweepTimer.stop();
        m_shownAngle = dAngle;
    } else {
        m_shownAngle = m_sweepFrom + m_sweepIndex * ((dAngle - m_sweepFrom) * 0.1);
    }
    ++m_needleFrames;
    requestRepaint(needleArea(before) | needleArea(m_shownAngle));
}

QRect TAnalogMeterForm::needleArea(double angle) const
{
    const QPoint pivot = needlePivot();
    const QPoint tip = pivot + needleEnd(angle, kNeedleLength);
    return QRect(pivot, tip).normalized().adjusted(-2, -2, 2, 2);
}

void TAnalogMeterForm::requestRepaint(const QRect& area)
{
    ++m_repaintRequests;
    update(area);
}

void TAnalogMeterForm::placePanel()
{
    Panel1->move((width() - Panel1->width()) / 2, kPanelTop);
    Panel1->setVisible(true);
}

void TAnalogMeterForm::rebuildBacking()
{
    placePanel();
    const qreal ratio = devicePixelRatioF();
    m_dial = QPixmap((QSizeF(size()) * ratio).toSize().expandedTo(QSize(1, 1)));
    m_dial.setDevicePixelRatio(ratio);
    if (bmpFrame.devicePixelRatio() != ratio) {
        // Moved to a screen of another density: render the artwork afresh.
        bmpFrame = artworkPixmap(QStringLiteral("analog-frame"), kFrameSize, ratio);
        bmpFace = QPixmap();
    }
    drawDial(m_drawnFace != 0 ? m_drawnFace : dialFaceFor(iDrawnFunction));
    drawSignLamp(true);
    requestRepaint(rect());
}

void TAnalogMeterForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    showCurrentInputs();
}

void TAnalogMeterForm::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && !isMinimized())
        showCurrentInputs();
}

// While hidden or minimised the window gets no 1026, but its inputs still
// change; coming back, it shows the current face, lamp and panels as a
// repaint would, and leaves the needle for the next reading.
void TAnalogMeterForm::showCurrentInputs()
{
    bool changed = false;
    if (dialFaceFor(m_inputs.iFunction) != m_drawnFace) {
        drawDial(dialFaceFor(m_inputs.iFunction));
        drawSignLamp(true);
        changed = true;
    } else {
        changed = drawSignLamp(false);
    }
    refreshPanels();
    if (changed)
        requestRepaint(rect());
}

void TAnalogMeterForm::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    rebuildBacking();
}

void TAnalogMeterForm::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.setClipRegion(event->region());
    painter.drawPixmap(0, 0, m_dial);
    // Pixel centres: a vertical needle stays one sharp pixel wide.
    painter.translate(0.5, 0.5);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1.0));
    const QPoint pivot = needlePivot();
    painter.drawLine(pivot, pivot + needleEnd(m_shownAngle, kNeedleLength));
}

void TAnalogMeterForm::describeReading()
{
    // Screen readers get the reading in words as the window's description; the
    // panels are labels and read out their own texts.
    const QString sign = m_inputs.bNegative ? QStringLiteral("-") : QString();
    const QString unit = UnitPanel->text() + FuncPanel->text();
    setAccessibleDescription(QStringLiteral("%1%2 of %3, %4 %5")
                                 .arg(sign)
                                 .arg(m_inputs.iCount)
                                 .arg(m_inputs.iFullScale)
                                 .arg(MultPanel->text(), unit)
                                 .trimmed());
}

} // namespace dmm
