// SPDX-License-Identifier: MIT
// The comparator: the live reading as a needle on a three-band scale (below,
// between and above the user's limits), the two limits with the reading's
// prefix and unit, and an optional alarm tone for readings outside the limits.
#pragma once

#include <QPixmap>
#include <QWidget>

#include <functional>

#include "ComparatorLogic.h"

class QFrame;
class QLabel;
class QPushButton;
namespace dmm {

class TDlgHiLowForm;

class TComparatorForm : public QWidget
{
    Q_OBJECT
public:
    // Takes the limits from *hiLimit / *lowLimit (the main window's stored pair)
    // and writes accepted limits back through them. Created hidden.
    TComparatorForm(const QWidget* mainWindow, double* hiLimit, double* lowLimit,
                    QWidget* parent = nullptr);

    // Over the left column, a frame's width in from the screen's edge; at
    // creation and when the windows are tiled.
    void placeBelow(const QWidget* mainWindow);

    // Written by the acquisition loop before it posts 1026.
    dmm::ComparatorInputs& inputs() { return m_inputs; }
    const dmm::ComparatorInputs& inputs() const { return m_inputs; }

    double hiLimit() const { return m_hiLimit; }
    double lowLimit() const { return m_lowLimit; }
    bool alarmOn() const { return m_alarmOn; }
    double needleAngle() const { return m_needleAngle; }
    double previousNeedleAngle() const { return m_prevNeedleAngle; }

    // Sounds a tone and returns when it has ended. Tests replace it to hear
    // the alarm without a sound card.
    using TonePlayer = std::function<void(int frequencyHz, int durationMs)>;
    void setTonePlayer(TonePlayer player);

    // Whether the desktop hears when the alarm starts and ends (the limit
    // dialog's "Notify the desktop"); accepted choices are written back
    // through `target`, as the limits are.
    void setNotifyTarget(bool* target);
    bool notifiesDesktop() const { return m_notifyDesktop; }
    // Shows a desktop notification. Tests replace it to see them without a
    // desktop; the program's sends one over D-Bus (DesktopNotifier.h).
    using Notifier = std::function<void(const QString& summary, const QString& body)>;
    void setNotifier(Notifier notifier);

    // The comparator brings its own limit dialog; the program may hand it the
    // one it created at start-up instead.
    TDlgHiLowForm* limitDialog() const { return m_limitDialog; }
    void setLimitDialog(TDlgHiLowForm* dialog);

    void bbtnAlartClick();
    void bbtnHiLowLimitClick();

    QPoint needlePivot() const;
    int dialLeft() const;

    QPushButton* bbtnAlart = nullptr;
    QPushButton* bbtnHiLowLimit = nullptr;
    QFrame* Panel1 = nullptr;
    QLabel* HiLimitPanel = nullptr;
    QLabel* HiUnitPanel = nullptr; // prefix
    QLabel* HiFuncPanel = nullptr; // unit
    QFrame* Panel2 = nullptr;
    QLabel* LowLimitPanel = nullptr;
    QLabel* LowUnitPanel = nullptr;
    QLabel* LowFuncPanel = nullptr;

    static constexpr QSize kDialSize{201, 122};
    static constexpr QSize kScaleSize{168, 77};
    static constexpr int kScaleTop = 22;
    static constexpr int kPivotY = 99;
    static constexpr int kNeedleLength = 70;
    static constexpr int kButtonHeight = 30;
    static constexpr int kLimitButtonWidth = 34;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void readingUpdate();
    void moveNeedle();
    void refreshUnitPanels();
    void showLimits();
    void soundAlarm();
    void notifyDesktop();
    void layOut();
    QRect needleArea(double angle) const;
    void describeReading();

    dmm::ComparatorInputs m_inputs;
    double* m_hiTarget = nullptr;
    double* m_lowTarget = nullptr;
    double m_hiLimit = 0.0;
    double m_lowLimit = 0.0;
    bool m_alarmOn = false;
    double m_needleAngle = dmm::kComparatorRestAngle;
    double m_prevNeedleAngle = dmm::kComparatorRestAngle;

    QPixmap m_dialPicture;
    QPixmap m_scalePicture;
    TDlgHiLowForm* m_limitDialog = nullptr;
    TonePlayer m_tonePlayer;
    bool* m_notifyTarget = nullptr;
    bool m_notifyDesktop = false;
    dmm::AlarmTone m_verdict = dmm::AlarmTone::None; // of the last reading
    Notifier m_notifier;
};

} // namespace dmm
