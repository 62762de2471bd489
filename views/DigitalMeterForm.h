// SPDX-License-Identifier: MIT
// The digital meter: lime characters on black, like the meter's own display.
#pragma once

#include <QWidget>

class QFrame;
class QLabel;

namespace dmm {

class TDigitalMeterForm : public QWidget
{
    Q_OBJECT
public:
    // Placed below the main window's strip; visible from the start.
    TDigitalMeterForm(const QWidget* mainWindow, int iPort, QWidget* parent = nullptr);

    // The reading display, done after every decoded frame. A null value text
    // leaves the value panel as it is.
    void showReading(const QString* valueText, const QString& prefix, const QString& unit,
                     int iFunction, const QString& sPfText);
    // Under the main window's strip, a quarter of the screen wide and a quarter
    // of the height below the strip; at creation and when the windows are tiled.
    void placeUnderStrip();
    // "Digital Meter : COM n"
    void setPortCaption(int iPort);

    // The font size the formula gave each panel last (may be zero or negative).
    int computedFontSize(const QWidget* panel) const;

    QFrame* LcdPanel = nullptr;
    QLabel* FuncPanel = nullptr;
    QLabel* pnlAcDc = nullptr;
    QLabel* UnitPanel = nullptr;
    QLabel* DataPanel = nullptr;
    QLabel* SubDataPanel = nullptr;

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void LcdPanelResize();
    void DataPanelResize();
    void SubDataPanelResize();
    void UnitPanelResize();
    void FuncPanelResize();
    void applyFontSize(QLabel* panel, double k);
    void placeMaximised();
    void updateAccessibleText();

    const QWidget* m_mainWindow;
    QHash<const QWidget*, int> m_fontSizes;
    // Frame position and client size to go back to when un-maximised; empty
    // while the window is not maximised.
    QRect m_normalGeometry;
};

// size = trunc((96 / ppi) * (width * k) - 3), in points; no lower bound.
int lcdFontSize(int panelWidth, double k, double ppi);

} // namespace dmm
