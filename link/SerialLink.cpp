// SPDX-License-Identifier: MIT
#include "SerialLink.h"

#include "FrameDecoder.h"
#include "StringTable.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPort>
#include <QThread>
#include <QTimer>

#include <chrono>
#include <utility>

namespace dmm {

namespace {

using namespace std::chrono_literals;

constexpr auto kReadGapTimeout = std::chrono::milliseconds(kReadGapTimeoutMs);
constexpr auto kCloseSettleTime = 100ms;

// The open of step one, shared by the probe: read/write and exclusive (QSerialPort
// takes the device's lock file and sets TIOCEXCL). `reason` gets why it failed.
bool openDevice(QSerialPort& port, const QString& path, QString* reason = nullptr,
                PortError::Cause* cause = nullptr)
{
    port.setPortName(path);
    if (port.open(QIODevice::ReadWrite))
        return true;
    if (reason || cause) {
        // The lock taken by another program reads as a permission error, which
        // would send the user to the device's access rights: say who holds it.
        const bool denied = port.error() == QSerialPort::PermissionError;
        const QString owner = denied ? portLockOwner(path) : QString();
        const bool inUse =
            denied && (!owner.isEmpty() || port.errorString().contains(QLatin1String("locking")));
        if (reason)
            *reason = !owner.isEmpty() ? tableString(kStrPortInUseBy).arg(owner)
                      : inUse          ? tableString(kStrPortInUse)
                                       : port.errorString();
        if (cause)
            *cause = inUse    ? PortError::InUse
                     : denied ? PortError::NoPermission
                     : port.error() == QSerialPort::DeviceNotFoundError ? PortError::NotFound
                                                                        : PortError::Other;
    }
    port.clearError();
    return false;
}

constexpr qint64 kLockFileReadLimit = 256;

// A device that vanished keeps reporting itself readable with nothing to read;
// only closing it stops the flood of errors.
bool meansDeviceGone(QSerialPort::SerialPortError error)
{
    return error == QSerialPort::ResourceError || error == QSerialPort::ReadError;
}

} // namespace

QString portLockOwner(const QString& devicePath)
{
    // The lock file is named after the device below /dev, slashes as underscores.
    QString name = devicePath;
    if (name.startsWith(QLatin1String("/dev/")))
        name.remove(0, 5);
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    const QStringList directories{
        QStringLiteral("/run/lock"),       QStringLiteral("/var/lock"),
        QStringLiteral("/etc/locks"),      QStringLiteral("/var/spool/locks"),
        QStringLiteral("/var/spool/uucp"), QStringLiteral("/tmp"),
        QStringLiteral("/var/tmp"),        QDir::tempPath()};
    for (const QString& directory : directories) {
        QFile lock(directory + QStringLiteral("/LCK..") + name);
        if (!QFileInfo(lock.fileName()).isFile() || !lock.open(QIODevice::ReadOnly))
            continue;
        // Process id on the first line, the program's name on the second.
        const QList<QByteArray> lines = lock.read(kLockFileReadLimit).split('\n');
        bool ok = false;
        const qint64 pid = lines.value(0).trimmed().toLongLong(&ok);
        if (!ok || pid <= 0 || !QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid)))
            continue;
        const QString program = QString::fromLocal8Bit(lines.value(1).trimmed());
        return program.isEmpty() ? QString::number(pid)
                                 : QString::number(pid) + QLatin1Char(' ') + program;
    }
    return {};
}

QString portErrorDetail(int port, const PortError& error)
{
    if (error.reason.isEmpty())
        return {};
    const QString name = portName(port);
    return name.isEmpty() ? error.reason : name + QStringLiteral(": ") + error.reason;
}

QString portName(int port)
{
    if (port < 1 || port > kPortCount)
        return {};
    return QStringLiteral("COM%1").arg(port);
}

QString portDevicePath(int port, const QString& startupDirectory)
{
    const QString name = portName(port);
    if (name.isEmpty())
        return {};
    const QFileInfo link(QDir(startupDirectory).filePath(name));
    if (link.exists())
        return link.canonicalFilePath();
    // A link whose target is gone still names the port the user meant; opening it
    // then fails instead of quietly falling back to a built-in port.
    if (link.isSymLink())
        return link.absoluteFilePath();
    return QStringLiteral("/dev/ttyS%1").arg(port - 1);
}

SerialLink::SerialLink(QObject* parent)
    : QObject(parent), m_port(new QSerialPort(this)), m_gapTimer(new QTimer(this)),
      m_totalTimer(new QTimer(this)), m_failTimer(new QTimer(this))
{
    m_gapTimer->setSingleShot(true);
    m_gapTimer->setTimerType(Qt::PreciseTimer);
    m_gapTimer->setInterval(kReadGapTimeout);
    m_totalTimer->setSingleShot(true);
    // A coarse timer may fire up to 5 % early; the meter gets its full time-out.
    m_totalTimer->setTimerType(Qt::PreciseTimer);
    m_failTimer->setSingleShot(true);
    m_failTimer->setInterval(0ms);

    connect(m_port, &QSerialPort::readyRead, this, &SerialLink::onReadyRead);
    connect(m_port, &QSerialPort::errorOccurred, this, &SerialLink::onErrorOccurred);
    connect(m_gapTimer, &QTimer::timeout, this, [this] { finishRead(false); });
    // Nothing came within the total time-out: an empty read, which is not a failure.
    connect(m_totalTimer, &QTimer::timeout, this, [this] { finishRead(false); });
    connect(m_failTimer, &QTimer::timeout, this, [this] { finishRead(true); });
}

SerialLink::~SerialLink()
{
    closeHandle();
}

bool SerialLink::OpenPort(int port, const QString& startupDirectory, PortError* error)
{
    closeHandle();
    m_openedPort = port;
    m_openedStartupDirectory = startupDirectory;

    const QString path = portDevicePath(port, startupDirectory);
    const auto fail = [&](PortError::Kind kind, const QString& reason,
                          PortError::Cause cause = PortError::Other) {
        closeHandle();
        if (error)
            *error = {kind, reason, cause, path};
        return false;
    };

    if (path.isEmpty())
        return fail(PortError::OpenFailed, tableString(kStrNoSuchPort).arg(port));
    QString reason;
    if (PortError::Cause cause{}; !openDevice(*m_port, path, &reason, &cause))
        return fail(PortError::OpenFailed, reason, cause);

    const bool lineSet =
        m_port->setBaudRate(QSerialPort::Baud9600) && m_port->setDataBits(QSerialPort::Data8) &&
        m_port->setParity(QSerialPort::NoParity) && m_port->setStopBits(QSerialPort::OneStop) &&
        m_port->setFlowControl(QSerialPort::NoFlowControl);
    if (!lineSet)
        return fail(PortError::SettingsFailed, m_port->errorString());
    // A device without modem lines (a pseudo-terminal, some adapters) refuses the
    // request as unsupported; the meter is read all the same, so only a real
    // failure of a port that has the line counts. DTR stays as the open left it:
    // the meter's cable may draw its power from it.
    if (!m_port->setRequestToSend(false) &&
        m_port->error() != QSerialPort::UnsupportedOperationError)
        return fail(PortError::SettingsFailed, m_port->errorString());
    m_port->clearError();

    if (!SetPortTimeouts(kReadTotalTimeoutMs))
        return fail(PortError::TimeoutsFailed, {});

    m_port->clear(QSerialPort::AllDirections);
    m_devicePath = path;
    const QFileInfo entry(QDir(startupDirectory).filePath(portName(port)));
    m_openedThroughEntry = entry.exists() || entry.isSymLink();
    if (error)
        *error = {};
    return true;
}

bool SerialLink::SetPortTimeouts(int readTotalTimeoutMs)
{
    if (!isOpen())
        return false;
    m_readTotalTimeoutMs = readTotalTimeoutMs;
    return true;
}

int SerialLink::readGapTimeoutMs() const
{
    return m_gapTimer->interval();
}

void SerialLink::ClosePort()
{
    cancelRead();
    if (!isOpen())
        return;
    m_port->flush();
    // Only at the end of the program, so blocking the event loop here is harmless.
    QThread::msleep(static_cast<unsigned long>(kCloseSettleTime.count()));
    closeHandle();
}

void SerialLink::closeHandle()
{
    cancelRead();
    if (isOpen())
        m_port->close();
    m_port->clearError();
    m_devicePath.clear();
    m_lostPort = 0;
}

bool SerialLink::reopenLostPort()
{
    if (!portLost())
        return isOpen();
    const int port = m_lostPort;
    // A port reached through a COMn entry in the start-up directory comes back
    // only through it: with the entry gone the adapter is still away, and the
    // built-in port the name would fall back to is another device.
    const QFileInfo entry(QDir(m_openedStartupDirectory).filePath(portName(port)));
    const bool entryGone = !entry.exists() && !entry.isSymLink();
    if (!(m_openedThroughEntry && entryGone) && OpenPort(port, m_openedStartupDirectory))
        return true;
    // Still away: try again next time.
    m_lostPort = port;
    return false;
}

bool SerialLink::isOpen() const
{
    return m_port->isOpen();
}

QString SerialLink::devicePath() const
{
    return m_devicePath;
}

std::array<bool, kProbedPorts> SerialLink::ProbePorts(const QString& startupDirectory)
{
    std::array<bool, kProbedPorts> present{};
    for (int port = 1; port <= kProbedPorts; ++port) {
        QSerialPort probe;
        present[port - 1] = openDevice(probe, portDevicePath(port, startupDirectory));
    }
    return present;
}

void SerialLink::startFrameRead()
{
    cancelRead();
    m_reading = true;
    if (!isOpen()) {
        failReadSoon();
        return;
    }
    // Only bytes sent from now on count: drop what the driver holds and what the
    // port object has already taken from it.
    m_port->clear(QSerialPort::Input);
    if (!isOpen() || m_failTimer->isActive())
        return;
    m_port->skip(m_port->bytesAvailable());
    if (m_readTotalTimeoutMs > 0)
        m_totalTimer->start(std::chrono::milliseconds(m_readTotalTimeoutMs));
}

void SerialLink::cancelRead()
{
    m_reading = false;
    m_gapTimer->stop();
    m_totalTimer->stop();
    m_failTimer->stop();
    m_bytes.clear();
}

bool SerialLink::readPending() const
{
    return m_reading;
}

void SerialLink::onReadyRead()
{
    if (!m_reading || m_failTimer->isActive()) {
        // Unlinked, the meter keeps sending; the next read purges anyway.
        m_port->skip(m_port->bytesAvailable());
        return;
    }
    m_bytes += m_port->read(kFrameSize - m_bytes.size());
    m_port->skip(m_port->bytesAvailable());
    if (m_bytes.isEmpty())
        return;
    m_totalTimer->stop();
    if (m_bytes.size() >= kFrameSize) {
        finishRead(false);
        return;
    }
    m_gapTimer->start();
}

void SerialLink::onErrorOccurred()
{
    const QSerialPort::SerialPortError error = m_port->error();
    if (error == QSerialPort::NoError)
        return;
    if (meansDeviceGone(error) && isOpen()) {
        m_port->close();
        m_devicePath.clear();
        m_lostPort = m_openedPort;
    }
    if (m_reading)
        failReadSoon();
}

void SerialLink::failReadSoon()
{
    m_gapTimer->stop();
    m_totalTimer->stop();
    m_bytes.clear();
    m_failTimer->start();
}

void SerialLink::finishRead(bool failed)
{
    if (!m_reading)
        return;
    const QByteArray bytes = failed ? QByteArray() : std::exchange(m_bytes, {});
    cancelRead();
    emit frameReadFinished(bytes, failed);
}

} // namespace dmm
