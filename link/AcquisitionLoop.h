// SPDX-License-Identifier: MIT
// The polling loop: while the link is made, one frame is read and decoded
// every 500 ms into the current reading. Reads are asynchronous, so the event
// loop keeps running while a silent meter holds a read for up to 12 s.
#pragma once

#include <QObject>
#include <QTimer>

#include <optional>

#include "CurrentReading.h"
#include "FrameDecoder.h"
#include "ValueFormat.h"

namespace dmm {

class SerialLink;

class AcquisitionLoop : public QObject
{
    Q_OBJECT
public:
    enum class Warning
    {
        NoData,
        LowBattery
    };
    enum class WarningAnswer
    {
        Continue,
        Abort
    };

    static constexpr int kPollIntervalMs = 500;
    static constexpr int kNoDataThreshold = 3;

    explicit AcquisitionLoop(SerialLink* link, QObject* parent = nullptr);

    // The link button's state: made starts polling, released stops it, cancels
    // a pending read or warning and clears bDataValid.
    void setLinked(bool linked);
    bool isLinked() const { return m_linked; }

    // The host answers a warningRequested here; the tick then ends or goes on.
    void answerWarning(WarningAnswer answer);
    bool warningPending() const { return m_warningPending; }

    const CurrentReading& reading() const { return m_reading; }
    int iNoDataCount() const { return m_noDataCount; }
    QTimer& TimerGetSd() { return m_timer; }
    bool tickRunning() const { return m_tickRunning; }

signals:
    // Show the self-closing warning (non-blocking) and answer with answerWarning.
    void warningRequested(AcquisitionLoop::Warning warning);
    // A frame was decoded into the reading; the views are to be updated from it.
    // No value in `meterText` means the digital meter keeps its value text.
    void readingDecoded(const MeterText& meterText);
    // Abort in a warning: the link is to be released (button up, click handler).
    void linkReleaseRequested();
    // A tick has finished (for tests and measurements).
    void tickFinished();

private:
    void TimerGetSdTimer();
    void onFrameRead(const QByteArray& bytes, bool failed);
    void goOnWithFrame();
    void endTick(bool reenableTimer);

    SerialLink* m_link;
    QTimer m_timer;
    FrameDecoder m_decoder;
    CurrentReading m_reading;
    std::optional<DecodedFrame> m_pendingFrame; // held while the low-battery warning is open
    int m_noDataCount = 0;
    bool m_linked = false;
    bool m_tickRunning = false;
    bool m_warningPending = false;
    Warning m_pendingWarning = Warning::NoData;
};

} // namespace dmm
