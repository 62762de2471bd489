// SPDX-License-Identifier: MIT
#include "MqttPublisher.h"

#include <mosquitto.h>

#include <QCoreApplication>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "FileChecks.h"
#include "LogLines.h"
#include "LogOptions.h"
#include "ShownText.h"

namespace dmm::logtool {

namespace {

using namespace std::chrono_literals;

// Readings sent and not yet acknowledged at a time: enough to drain a long
// queue quickly, small enough that libmosquitto holds few copies.
constexpr int kWindow = 256;
constexpr int kKeepAliveSeconds = 30;
constexpr auto kFirstRetry = 1s;
constexpr auto kLongestRetry = 60s;

std::once_flag g_libraryStarted;

// 16 hex digits, new for every run.
std::string newRunId()
{
    char id[17];
    std::snprintf(id, sizeof id, "%016llx",
                  static_cast<unsigned long long>(QRandomGenerator::system()->generate64()));
    return id;
}

// "10 s", "0.3 s".
QString secondsText(std::chrono::milliseconds time)
{
    return QString::number(static_cast<double>(time.count()) / 1000) + QStringLiteral(" s");
}

} // namespace

std::unique_ptr<MqttPublisher> startLogPublisher(const LogOptions& options, std::FILE* err,
                                                 QString* error)
{
    if (!options.mqtt)
        return nullptr;
    QStringList files;
    for (const QString& path : {options.outPath, options.csvPath})
        if (!path.isEmpty())
            files << path;
    auto publisher = std::make_unique<MqttPublisher>(*options.mqtt, err);
    if (!publisher->start(metaPayload(QStringLiteral(DMM_VERSION), publisher->runId(), options.port,
                                      options.intervalSeconds, files),
                          error))
        return nullptr;
    return publisher;
}

MqttPublisher::MqttPublisher(MqttSettings settings, std::FILE* err)
    : m_settings(std::move(settings)), m_run(newRunId()),
      m_topics(mqttTopics(m_settings.url.prefix, m_settings.name)), m_err(err)
{
}

MqttPublisher::~MqttPublisher()
{
    stop(0ms);
    if (m_client)
        mosquitto_destroy(m_client);
}

bool MqttPublisher::start(const std::string& meta, QString* error)
{
    std::call_once(g_libraryStarted, [] { mosquitto_lib_init(); });
    m_meta = meta;
    // A clean session: what is not yet acknowledged lives in the queue here.
    // The run names the client, so that the broker's log and the topics agree
    // (a NAME may be far longer than a client id can be).
    const std::string id = "dmm-log-" + m_run;
    m_client = mosquitto_new(id.c_str(), true, this);
    if (!m_client) {
        *error = QStringLiteral("MQTT: cannot make a client: ") + systemReason(errno);
        return false;
    }
    const auto failed = [&](int rc, const QString& what) {
        if (rc == MOSQ_ERR_SUCCESS)
            return false;
        *error =
            QStringLiteral("MQTT: %1: %2").arg(what, QString::fromUtf8(mosquitto_strerror(rc)));
        return true;
    };
    mosquitto_connect_callback_set(m_client, &MqttPublisher::onConnect);
    mosquitto_disconnect_callback_set(m_client, &MqttPublisher::onDisconnect);
    mosquitto_publish_callback_set(m_client, &MqttPublisher::onPublish);
    mosquitto_message_callback_set(m_client, &MqttPublisher::onMessage);
    mosquitto_log_callback_set(m_client, &MqttPublisher::onLog);
    // Another thread (ours) runs the network: publishing from the logging
    // thread only queues the packet.
    mosquitto_threaded_set(m_client, true);
    mosquitto_max_inflight_messages_set(m_client, kWindow);
    const std::string will = statusPayload(false, m_run);
    if (failed(mosquitto_will_set(m_client, m_topics.status.c_str(), static_cast<int>(will.size()),
                                  will.data(), 1, true),
               QStringLiteral("the last will")))
        return false;
    const MqttUrl& url = m_settings.url;
    if (!url.user.isEmpty() &&
        failed(mosquitto_username_pw_set(
                   m_client, url.user.toUtf8().constData(),
                   m_settings.password.isEmpty() ? nullptr : m_settings.password.constData()),
               QStringLiteral("the login")))
        return false;
    if (url.tls) {
        if (m_settings.caFile.isEmpty()) {
            if (failed(mosquitto_int_option(m_client, MOSQ_OPT_TLS_USE_OS_CERTS, 1),
                       QStringLiteral("the system's certificate authorities")))
                return false;
        } else if (const int rc =
                       mosquitto_tls_set(m_client, m_settings.caFile.toLocal8Bit().constData(),
                                         nullptr, nullptr, nullptr, nullptr);
                   failed(rc, m_settings.caFile)) {
            return false;
        }
    }
    m_thread = std::thread(&MqttPublisher::run, this);
    return true;
}

void MqttPublisher::run()
{
    auto retry = std::chrono::milliseconds(kFirstRetry);
    const std::string host = m_settings.url.host.toStdString();
    bool first = true;
    while (true) {
        {
            std::lock_guard lock(m_mutex);
            if (m_job.cancel)
                break;
            m_refusal.clear();
            m_answered = false;
        }
        {
            std::lock_guard lock(m_logMutex);
            m_lastError.clear();
        }
        errno = 0;
        int rc = first ? mosquitto_connect_async(m_client, host.c_str(), m_settings.url.port,
                                                 kKeepAliveSeconds)
                       : mosquitto_reconnect_async(m_client);
        int savedErrno = errno;
        first = false;
        bool stopping = false;
        bool timedOut = false;
        // A broker that takes the connection and never answers the login (a
        // TLS port, something else on the port) would hold the try forever:
        // the next try closes this connection.
        const auto loginDeadline = std::chrono::steady_clock::now() + m_settings.loginTimeout;
        while (rc == MOSQ_ERR_SUCCESS) {
            rc = mosquitto_loop(m_client, 200, 1);
            savedErrno = errno;
            std::lock_guard lock(m_mutex);
            if (m_connected)
                retry = kFirstRetry;
            if (m_job.cancel && !m_connected) {
                stopping = true;
                break;
            }
            if (!m_answered && std::chrono::steady_clock::now() > loginDeadline) {
                timedOut = true;
                break;
            }
        }
        std::unique_lock lock(m_mutex);
        if (stopping || m_job.cancel)
            break;
        m_connected = false;
        outage(failureReason(rc, savedErrno, timedOut));
        // Back-off: 1 s doubling to 60 s, cut short by stop().
        m_changed.wait_for(lock, retry, [this] { return m_job.cancel.load(); });
        retry = std::min<std::chrono::milliseconds>(retry * 2, kLongestRetry);
    }
}

QString MqttPublisher::failureReason(int rc, int savedErrno, bool timedOut) const
{
    const bool tls = m_settings.url.tls;
    if (timedOut)
        return QStringLiteral("no answer to the login within %1: not an MQTT port%2")
            .arg(secondsText(m_settings.loginTimeout),
                 tls ? QString() : QStringLiteral(", or one for TLS (mqtts://)"));
    switch (rc) {
    case MOSQ_ERR_EAI:
        return QStringLiteral("unknown host %1").arg(m_settings.url.host);
    case MOSQ_ERR_ERRNO:
        return QString::fromLocal8Bit(std::strerror(savedErrno));
    case MOSQ_ERR_CONN_REFUSED:
        return QStringLiteral("the broker refused the login: ") +
               (m_refusal.isEmpty() ? QStringLiteral("no reason given") : m_refusal);
    case MOSQ_ERR_KEEPALIVE:
        return QStringLiteral("the broker stopped answering (no reply to the keep-alive ping)");
    case MOSQ_ERR_CONN_LOST:
        if (!m_answered && !tls)
            return QStringLiteral("the connection was closed before the broker answered the "
                                  "login: a TLS port needs mqtts://");
        break;
    default:
        break;
    }
    if (!m_refusal.isEmpty())
        return QStringLiteral("the broker refused the login: ") + m_refusal;
    QString logged;
    {
        std::lock_guard lock(m_logMutex);
        logged = m_lastError;
    }
    if (rc == MOSQ_ERR_TLS && (logged.contains(QStringLiteral("wrong version number")) ||
                               logged.contains(QStringLiteral("unexpected eof"))))
        return QStringLiteral("TLS failed: the broker does not answer in TLS on this port (a "
                              "port without TLS needs mqtt://)");
    if (rc == MOSQ_ERR_TLS && logged.contains(QStringLiteral("certificate verify failed")))
        return QStringLiteral("TLS failed: the broker's certificate is not accepted: signed by "
                              "none of the authorities (--mqtt-ca or the system's), or made for "
                              "another name than %1")
            .arg(m_settings.url.host);
    QString what = rc == MOSQ_ERR_TLS ? QStringLiteral("TLS failed")
                                      : QString::fromUtf8(mosquitto_strerror(rc)).toLower();
    if (what.endsWith(u'.'))
        what.chop(1);
    return logged.isEmpty() ? what : what + QStringLiteral(": ") + logged;
}

void MqttPublisher::outage(const QString& reason)
{
    // Said once per outage; later tries fail quietly.
    if (m_inOutage)
        return;
    m_inOutage = true;
    m_droppedInOutage = 0;
    m_drainUntil = -1;
    say(QStringLiteral("broker %1:%2: %3; readings are kept (up to %4) and sent when it is back")
            .arg(m_settings.url.host)
            .arg(m_settings.url.port)
            .arg(reason)
            .arg(m_settings.queueLimit));
}

void MqttPublisher::onConnect(mosquitto*, void* self, int rc)
{
    auto* p = static_cast<MqttPublisher*>(self);
    std::lock_guard lock(p->m_mutex);
    p->m_answered = true;
    if (rc != 0) {
        // "Connection Refused: not authorised."
        p->m_refusal = QString::fromUtf8(mosquitto_connack_string(rc)).section(u':', 1).trimmed();
        if (p->m_refusal.endsWith(u'.'))
            p->m_refusal.chop(1);
        return;
    }
    p->m_connected = true;
    // Subscribed before ours goes out: what the broker keeps is another run's.
    mosquitto_subscribe(p->m_client, nullptr, p->m_topics.status.c_str(), 1);
    p->publishRetained(p->m_topics.status, p->status());
    p->publishRetained(p->m_topics.meta, p->m_meta);
    // Also 0: the count an earlier run left is not this run's.
    p->publishRetained(p->m_topics.dropped, std::to_string(p->m_dropped));
    for (const auto& [topic, payload] : p->m_kept)
        p->publishRetained(topic, payload);
    if (p->m_inOutage) {
        p->m_drainCount = static_cast<long long>(p->m_queue.size());
        p->m_drainUntil = p->m_queue.empty() ? 0 : p->m_queue.back().seq;
        p->endOutageWhenDrained();
    }
    p->sendMore();
}

void MqttPublisher::onDisconnect(mosquitto*, void* self, int)
{
    auto* p = static_cast<MqttPublisher*>(self);
    std::lock_guard lock(p->m_mutex);
    p->m_connected = false;
    // Whatever was in flight is sent again, in order, after the reconnect; a
    // reading may so arrive twice, always with its own seq.
    p->m_seqOfMid.clear();
    for (Entry& entry : p->m_queue)
        entry.mid = 0;
    p->m_nextToSend = 0;
    p->m_inFlight = 0;
    p->m_changed.notify_all();
}

void MqttPublisher::onPublish(mosquitto*, void* self, int mid)
{
    auto* p = static_cast<MqttPublisher*>(self);
    std::lock_guard lock(p->m_mutex);
    const auto found = p->m_seqOfMid.find(mid);
    if (found == p->m_seqOfMid.end())
        return; // status, meta, or a copy sent before a reconnect
    const long long seq = found->second;
    p->m_seqOfMid.erase(found);
    auto& queue = p->m_queue;
    if (queue.empty() || seq < queue.front().seq)
        return; // dropped from a full queue meanwhile
    Entry& entry = queue[static_cast<std::size_t>(seq - queue.front().seq)];
    if (entry.mid != mid)
        return;
    entry.acknowledged = true;
    entry.mid = 0;
    --p->m_inFlight;
    while (!queue.empty() && queue.front().acknowledged) {
        queue.pop_front();
        if (p->m_nextToSend > 0)
            --p->m_nextToSend;
    }
    p->endOutageWhenDrained();
    p->sendMore();
    p->m_changed.notify_all();
}

void MqttPublisher::onMessage(mosquitto*, void* self, const mosquitto_message* message)
{
    auto* p = static_cast<MqttPublisher*>(self);
    const auto seen = parseStatusPayload(
        QByteArray(static_cast<const char*>(message->payload), message->payloadlen));
    std::lock_guard lock(p->m_mutex);
    if (!seen || seen->run == p->m_run || !p->m_connected)
        return;
    if (!seen->online) {
        // Another run ended (or its last will came) over our "online".
        if (!message->retain)
            p->publishRetained(p->m_topics.status, p->status());
        return;
    }
    // What the broker kept from before may be a logger that is gone and whose
    // last will is still to come; a status sent now is a logger that runs.
    if (message->retain || std::find(p->m_othersSaid.begin(), p->m_othersSaid.end(), seen->run) !=
                               p->m_othersSaid.end())
        return;
    p->m_othersSaid.push_back(seen->run);
    const QString base = shownText(p->m_settings.url.prefix + u'/' + p->m_settings.name);
    p->say(QStringLiteral("another logger publishes as %1 (run %2, this run is %3): the readings "
                          "of both mix on %1/reading; give each logger its own NAME (--name or "
                          "MQTT_NAME=)")
               .arg(base, QString::fromStdString(seen->run), QString::fromStdString(p->m_run)));
    // Ours again, so that the other one hears of this run and says the same.
    p->publishRetained(p->m_topics.status, p->status());
}

std::string MqttPublisher::status() const
{
    return statusPayload(true, m_run, m_meter);
}

void MqttPublisher::meterState(const MeterState& state)
{
    std::lock_guard lock(m_mutex);
    if (state == m_meter)
        return;
    m_meter = state;
    if (m_connected)
        publishRetained(m_topics.status, status());
}

void MqttPublisher::keepRetained(const std::string& topic, const std::string& payload)
{
    std::lock_guard lock(m_mutex);
    m_kept[topic] = payload;
    if (m_connected)
        publishRetained(topic, payload);
}

void MqttPublisher::alarmState(const std::string& payload)
{
    keepRetained(m_topics.alarm, payload);
}

void MqttPublisher::statsRow(const std::string& json)
{
    keepRetained(m_topics.stats, json);
}

void MqttPublisher::endOutageWhenDrained()
{
    if (!m_inOutage || m_drainUntil < 0 ||
        (!m_queue.empty() && m_queue.front().seq <= m_drainUntil))
        return;
    m_inOutage = false;
    QString text = QStringLiteral("broker %1:%2: delivered again, %3 queued readings sent")
                       .arg(m_settings.url.host)
                       .arg(m_settings.url.port)
                       .arg(m_drainCount);
    if (m_droppedInOutage > 0)
        text += QStringLiteral(", %1 dropped from the full queue").arg(m_droppedInOutage);
    say(text);
}

void MqttPublisher::onLog(mosquitto*, void* self, int level, const char* text)
{
    if (level != MOSQ_LOG_ERR || !text)
        return;
    auto* p = static_cast<MqttPublisher*>(self);
    // Its own lock: libmosquitto logs from calls made with m_mutex held.
    std::lock_guard lock(p->m_logMutex);
    p->m_lastError = QString::fromUtf8(text);
}

void MqttPublisher::sendMore()
{
    if (!m_connected)
        return;
    while (m_inFlight < kWindow && m_nextToSend < m_queue.size()) {
        Entry& entry = m_queue[m_nextToSend];
        if (!entry.acknowledged) {
            int mid = 0;
            const std::string& topic = entry.topic.empty() ? m_topics.reading : entry.topic;
            const int rc = mosquitto_publish(m_client, &mid, topic.c_str(),
                                             static_cast<int>(entry.payload.size()),
                                             entry.payload.data(), 1, false);
            if (rc != MOSQ_ERR_SUCCESS)
                return; // the connection is going; sent again after the reconnect
            entry.mid = mid;
            m_seqOfMid[mid] = entry.seq;
            ++m_inFlight;
        }
        ++m_nextToSend;
    }
}

void MqttPublisher::publishRetained(const std::string& topic, const std::string& payload)
{
    mosquitto_publish(m_client, nullptr, topic.c_str(), static_cast<int>(payload.size()),
                      payload.data(), 1, true);
}

void MqttPublisher::readingLogged(const QDateTime& time, const TARecord& record)
{
    std::lock_guard lock(m_mutex);
    queueLocked({}, readingPayload(m_nextReading++, time, record));
}

void MqttPublisher::queueMessage(const std::string& topic, std::string payload)
{
    std::lock_guard lock(m_mutex);
    queueLocked(topic, std::move(payload));
}

void MqttPublisher::queueLocked(const std::string& topic, std::string payload)
{
    const long long seq = m_nextSeq++;
    if (static_cast<long long>(m_queue.size()) >= m_settings.queueLimit && !m_queue.empty()) {
        // Full: the oldest reading goes; the files still hold it.
        const Entry& oldest = m_queue.front();
        if (oldest.mid != 0) {
            m_seqOfMid.erase(oldest.mid);
            --m_inFlight;
        }
        m_queue.pop_front();
        if (m_nextToSend > 0)
            --m_nextToSend;
        ++m_dropped;
        ++m_droppedInOutage;
        if (!m_overflowSaid) {
            m_overflowSaid = true;
            say(QStringLiteral("the MQTT queue is full (%1 readings): the oldest are dropped; "
                               "the count goes to %2")
                    .arg(m_settings.queueLimit)
                    .arg(QString::fromStdString(m_topics.dropped)));
        }
        if (m_connected)
            publishRetained(m_topics.dropped, std::to_string(m_dropped));
    }
    m_queue.push_back({seq, std::move(payload), 0, false, topic});
    sendMore();
}

void MqttPublisher::stop(std::chrono::milliseconds grace)
{
    std::unique_lock lock(m_mutex);
    if (m_stopped)
        return;
    m_stopped = true;
    if (!m_thread.joinable())
        return;
    // Readings still queued get a moment to be acknowledged.
    m_changed.wait_for(lock, grace, [this] { return !m_connected || m_queue.empty(); });
    if (m_connected) {
        publishRetained(m_topics.status, statusPayload(false, m_run));
        mosquitto_disconnect(m_client);
    }
    m_job.cancel = true;
    m_changed.notify_all();
    lock.unlock();
    m_thread.join();
    if (!m_queue.empty())
        say(QStringLiteral("%1 readings were not delivered to the broker (the files hold them)")
                .arg(m_queue.size()));
}

long long MqttPublisher::queued() const
{
    std::lock_guard lock(m_mutex);
    return static_cast<long long>(m_queue.size());
}

long long MqttPublisher::dropped() const
{
    std::lock_guard lock(m_mutex);
    return m_dropped;
}

void MqttPublisher::say(const QString& text) const
{
    const std::string line = "dmm-log: " + isoLocalTime(QDateTime::currentDateTime()) + " MQTT " +
                             text.toStdString() + '\n';
    std::fputs(line.c_str(), m_err);
    std::fflush(m_err);
}

} // namespace dmm::logtool
