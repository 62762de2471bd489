// SPDX-License-Identifier: MIT
// The one serial port through which the meter is read: naming, opening with the
// meter's line settings, and the asynchronous 15-byte frame read.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <array>

class QSerialPort;
class QTimer;

namespace dmm {

inline constexpr int kPortCount = 10;  // COM1..COM10
inline constexpr int kProbedPorts = 8; // COM1..COM8 are probed and offered
inline constexpr int kReadTotalTimeoutMs = 12000;
inline constexpr int kReadGapTimeoutMs = 30;

// "COM1".."COM10"; empty for a number outside 1..10.
QString portName(int port);

// The device behind "COMn": the file COMn in the start-up directory when it
// exists (usually a symbolic link to a tty), resolved to its real path;
// otherwise /dev/ttyS<n-1>. Empty for a number outside 1..10.
QString portDevicePath(int port, const QString& startupDirectory);

struct PortError
{
    enum Kind
    {
        None,
        OpenFailed,
        SettingsFailed,
        TimeoutsFailed
    };
    // What kept the device from opening, as far as the system tells.
    enum Cause
    {
        Other,
        NotFound,
        InUse,
        NoPermission
    };
    Kind kind = None;
    // Why, for the user: "Port 11 does not exist...", "The port is in use by
    // another program (process 4711 dmmlogger).", or what the system said, e.g.
    // "Permission denied". May be empty.
    QString reason;
    Cause cause = Other;
    // The device the open tried; empty when the number names no port.
    QString devicePath;
};

// The program holding a device's lock file (LCK..<name> in the lock
// directories), as "4711 dmmlogger" or "4711"; empty when no live process holds it.
QString portLockOwner(const QString& devicePath);

// The detail line of the open-error box: "COM1: <reason>", or the reason alone
// for a number that names no port. Empty when there is no reason.
QString portErrorDetail(int port, const PortError& error);

class SerialLink : public QObject
{
    Q_OBJECT
public:
    explicit SerialLink(QObject* parent = nullptr);
    ~SerialLink() override;

    // Opens "COMn" exclusively, 9600 8N1, RTS held off (a device without modem
    // lines that refuses RTS is not a failure), sets the time-outs, purges.
    // On failure the port is closed again and `error` says why.
    bool OpenPort(int port, const QString& startupDirectory, PortError* error = nullptr);
    // Sets the read-total time-out of the frame read (0 or less: wait for the
    // first byte without limit). False when no port is open.
    bool SetPortTimeouts(int readTotalTimeoutMs);
    // The read's time-outs in force: the gap after the last byte and the total
    // when no byte comes (0 or less: none).
    int readGapTimeoutMs() const;
    int readTotalTimeoutMs() const { return m_readTotalTimeoutMs; }
    // End of the program: flush, wait 100 ms, close. Cancels a pending read.
    void ClosePort();
    // The port button's close: the handle is closed at once, no flush, no wait.
    void closeHandle();
    bool isOpen() const;
    // The resolved device of the open port; empty when none is open.
    QString devicePath() const;

    // The port was closed because its device went away (a USB adapter pulled
    // out), not by the program. Cleared by any open or close the program makes.
    bool portLost() const { return m_lostPort > 0; }
    // Opens the lost port again by its number, quietly: a replugged adapter,
    // perhaps under a new device name behind the same COMn link. True when open.
    bool reopenLostPort();

    // Which of COM1..COM8 can be opened (exclusive, read/write) right now.
    static std::array<bool, kProbedPorts> ProbePorts(const QString& startupDirectory);

    // Purges the receive side, then collects bytes until 15 have come, or 30 ms
    // after the last byte once bytes have started, or the total time-out passes
    // with no byte. Ends with frameReadFinished, always from the event loop (also
    // when no port is open: then `failed` is true). A failed read hands over no
    // bytes; a device error closes the port. Never blocks.
    void startFrameRead();
    // Abandons a pending read; no frameReadFinished follows for it.
    void cancelRead();
    bool readPending() const;

signals:
    void frameReadFinished(const QByteArray& bytes, bool failed);

private:
    void onReadyRead();
    void onErrorOccurred();
    void failReadSoon();
    void finishRead(bool failed);

    QSerialPort* m_port = nullptr;
    QTimer* m_gapTimer = nullptr;
    QTimer* m_totalTimer = nullptr;
    // Delivers a failed end from the event loop even when the failure is found
    // inside startFrameRead or inside a call into the port.
    QTimer* m_failTimer = nullptr;
    QString m_devicePath;
    // The last port the program opened, and whether its device went away.
    int m_lostPort = 0;
    int m_openedPort = 0;
    QString m_openedStartupDirectory;
    bool m_openedThroughEntry = false; // through COMn in the start-up directory
    QByteArray m_bytes;
    bool m_reading = false;
    int m_readTotalTimeoutMs = kReadTotalTimeoutMs;
};

} // namespace dmm
