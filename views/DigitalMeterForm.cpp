// SPDX-License-Identifier: MIT
#include "DigitalMeterForm.h"

#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QResizeEvent>

#include <cmath>

#include "Artwork.h"
#include "DisplayLabels.h"
#include "FunctionTexts.h"
#include "PanelFaces.h"
#include "StringTable.h"
#include "ViewMessages.h"
#include "WindowMetrics.h"

namespace dmm {

namespace {

QLabel* makePanel(QWidget* parent, const char* name, int pixelHeight)
{
    QFont font(arialFamily());
    font.setPixelSize(pixelHeight);
    QLabel* panel = makeDisplayLabel(parent, name, font);
    panel->installEventFilter(parent->window());
    return panel;
}

} // namespace

int lcdFontSize(int panelWidth, double k, double ppi)
{
    return static_cast<int>(std::trunc((96.0 / ppi) * (panelWidth * k) - 3.0));
}

TDigitalMeterForm::TDigitalMeterForm(const QWidget* mainWindow, int iPort, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint),
      m_mainWindow(mainWindow)
{
    // No close box: the window is closed only with the program.
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    setWindowIcon(artworkIcon(QStringLiteral("icon-digital-meter")));
    setPortCaption(iPort);

    LcdPanel = new QFrame(this);
    LcdPanel->setObjectName(QStringLiteral("LcdPanel"));
    LcdPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    LcdPanel->setLineWidth(2);
    LcdPanel->setAutoFillBackground(true);
    QPalette black = LcdPanel->palette();
    black.setColor(QPalette::Window, Qt::black);
    LcdPanel->setPalette(black);
    LcdPanel->installEventFilter(this);

    DataPanel = makePanel(LcdPanel, "DataPanel", 27);
    UnitPanel = makePanel(LcdPanel, "UnitPanel", 15);
    FuncPanel = makePanel(LcdPanel, "FuncPanel", 15);
    pnlAcDc = makePanel(FuncPanel, "pnlAcDc", 15);
    SubDataPanel = makePanel(DataPanel, "SubDataPanel", 27);
    SubDataPanel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    DataPanel->setAccessibleName(tr("Value"));
    UnitPanel->setAccessibleName(tr("Prefix"));
    FuncPanel->setAccessibleName(tr("Unit"));
    pnlAcDc->setAccessibleName(tr("AC or DC"));
    SubDataPanel->setAccessibleName(tr("Sub-display"));

    // A single border: the user cannot resize the window, only minimise and
    // maximise it.
    setFixedSize(242, 102);
    LcdPanel->setGeometry(rect());

    placeUnderStrip();
    show();
}

void TDigitalMeterForm::placeUnderStrip()
{
    if (isMaximized())
        showNormal();
    const ScreenMetrics screen = screenMetrics();
    const int top = outerHeight(m_mainWindow);
    setOuterGeometry(this, 0, top, screen.screen.width() / 4, (screen.screen.height() - top) / 4);
}

void TDigitalMeterForm::setPortCaption(int iPort)
{
    setWindowTitle(tableString(100) + QStringLiteral(" : COM ") + QString::number(iPort));
}

void TDigitalMeterForm::placeMaximised()
{
    // The window manager leaves a fixed window as it is, so the window fills the
    // screen below the strip itself.
    const ScreenMetrics screen = screenMetrics();
    const int mainHeight = outerHeight(m_mainWindow);
    const QSize client = QSize(screen.screen.width(), screen.screen.height() - mainHeight)
                             .shrunkBy(frameMargins(this))
                             .expandedTo(QSize(1, 1));
    // Limits, not resize(): a resize would end the maximised state.
    setMaximumSize(client);
    setMinimumSize(client);
    move(0, mainHeight);
}

bool TDigitalMeterForm::event(QEvent* event)
{
    // The meter's messages 1025 to 1028 are accepted and do nothing here.
    const int message = viewMessageOf(event);
    if (message >= WM_DMM_UNUSED_1025 && message <= WM_DMM_UNUSED_1028)
        return true;
    if (event->type() == QEvent::WindowStateChange) {
        if (isMaximized()) {
            if (!m_normalGeometry.isValid())
                m_normalGeometry = QRect(frameGeometry().topLeft(), size());
            placeMaximised();
        } else if (m_normalGeometry.isValid()) {
            move(m_normalGeometry.topLeft());
            setFixedSize(m_normalGeometry.size());
            m_normalGeometry = QRect();
        }
    }
    return QWidget::event(event);
}

void TDigitalMeterForm::closeEvent(QCloseEvent* event)
{
    // Closed only together with the program.
    if (event->spontaneous())
        event->ignore();
}

void TDigitalMeterForm::resizeEvent(QResizeEvent* event)
{
    LcdPanel->setGeometry(rect());
    QWidget::resizeEvent(event);
}

bool TDigitalMeterForm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize) {
        if (watched == LcdPanel)
            LcdPanelResize();
        else if (watched == DataPanel)
            DataPanelResize();
        else if (watched == SubDataPanel)
            SubDataPanelResize();
        else if (watched == UnitPanel)
            UnitPanelResize();
        else if (watched == FuncPanel)
            FuncPanelResize();
    }
    return QWidget::eventFilter(watched, event);
}

void TDigitalMeterForm::LcdPanelResize()
{
    // Prefix and unit columns a fifth of the width each at the right; the value
    // takes the rest, the sub-display line the bottom quarter of it.
    const QRect inner = LcdPanel->contentsRect();
    const int fifth = LcdPanel->width() / 5;
    FuncPanel->setGeometry(inner.right() + 1 - fifth, inner.top(), fifth, inner.height());
    UnitPanel->setGeometry(FuncPanel->x() - fifth, inner.top(), fifth, inner.height());
    DataPanel->setGeometry(inner.left(), inner.top(), std::max(0, UnitPanel->x() - inner.left()),
                           inner.height());
    const int subHeight = LcdPanel->height() / 4;
    SubDataPanel->setGeometry(0, DataPanel->height() - subHeight, LcdPanel->width(), subHeight);
}

void TDigitalMeterForm::applyFontSize(QLabel* panel, double k)
{
    const double ppi = panel->logicalDpiY() > 0 ? panel->logicalDpiY() : 96.0;
    const int size = lcdFontSize(panel->width(), k, ppi);
    m_fontSizes.insert(panel, size);
    // The formula has no lower bound; a font cannot be smaller than one point.
    QFont font = panel->font();
    font.setPointSize(std::max(1, size));
    panel->setFont(font);
}

void TDigitalMeterForm::DataPanelResize()
{
    applyFontSize(DataPanel, 0.2);
    SubDataPanel->setGeometry(0, DataPanel->height() - LcdPanel->height() / 4, LcdPanel->width(),
                              LcdPanel->height() / 4);
}

void TDigitalMeterForm::SubDataPanelResize()
{
    applyFontSize(SubDataPanel, 0.125);
}

void TDigitalMeterForm::UnitPanelResize()
{
    applyFontSize(UnitPanel, 0.5);
}

void TDigitalMeterForm::FuncPanelResize()
{
    applyFontSize(FuncPanel, 0.5);
    pnlAcDc->setGeometry(0, 0, FuncPanel->width(), FuncPanel->height() / 4);
    applyFontSize(pnlAcDc, 0.25);
}

int TDigitalMeterForm::computedFontSize(const QWidget* panel) const
{
    return m_fontSizes.value(panel, 0);
}

void TDigitalMeterForm::showReading(const QString* valueText, const QString& prefix,
                                    const QString& unit, int iFunction, const QString& sPfText)
{
    if (valueText)
        DataPanel->setText(*valueText);
    SubDataPanel->setText(sPfText.isEmpty() ? QStringLiteral(" ")
                                            : QLatin1Char(' ') + sPfText + QStringLiteral(" PF"));

    showInFace(UnitPanel, prefix, prefixPanelStyle(iFunction));

    // Until the next resize the unit is drawn at half the column's width in points.
    QFont unitFont = FuncPanel->font();
    unitFont.setPointSize(std::max(1, FuncPanel->width() / 2));
    FuncPanel->setFont(unitFont);

    const std::string_view acdc = acDcText(static_cast<std::uint32_t>(iFunction));
    pnlAcDc->setText(QString::fromLatin1(acdc.data(), static_cast<qsizetype>(acdc.size())));

    showInFace(FuncPanel, unit, unitPanelStyle(iFunction));
    FuncPanel->setAccessibleDescription(unit == QLatin1String("W") ? tr("Ohm") : FuncPanel->text());
    updateAccessibleText();
}

void TDigitalMeterForm::updateAccessibleText()
{
    const QString reading =
        QStringList{DataPanel->text(), UnitPanel->text(), FuncPanel->text(), pnlAcDc->text()}
            .join(QLatin1Char(' '))
            .simplified();
    setAccessibleDescription(reading);
    LcdPanel->setAccessibleName(reading);
}

} // namespace dmm
