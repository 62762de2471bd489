// SPDX-License-Identifier: MIT
// dmm-log's readings on an MQTT broker, through libmosquitto. Each reading
// waits in a bounded memory queue until the broker acknowledges it (QoS 1),
// so readings logged while the broker is gone are sent in order once it is
// back; libmosquitto does not keep them across an outage itself. The network
// runs on the publisher's own thread and a reading is only queued on the
// caller's, so a slow or absent broker never delays logging.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "JobControl.h"
#include "MqttMessages.h"
#include "MqttUrl.h"
#include "Record.h"

struct mosquitto;
struct mosquitto_message;

namespace dmm::logtool {

struct LogOptions;

class MqttPublisher;

// dmm-log's publisher for `options`, connecting; none when options.mqtt is
// empty. On a setup error, none with `error` set.
// The status topic carries statusPayload() with this run's own id, and the
// publisher listens to it: another logger that publishes under the same
// PREFIX/NAME is reported once, and a status another run left "offline" is
// made this run's again.
std::unique_ptr<MqttPublisher> startLogPublisher(const LogOptions& options, std::FILE* err,
                                                 QString* error);

class MqttPublisher
{
public:
    MqttPublisher(MqttSettings settings, std::FILE* err);
    ~MqttPublisher();
    MqttPublisher(const MqttPublisher&) = delete;
    MqttPublisher& operator=(const MqttPublisher&) = delete;

    // Sets the client up and starts connecting; false with the reason when
    // libmosquitto refuses the settings.
    bool start(const std::string& meta, QString* error);
    // Queues the reading; never waits for the network.
    void readingLogged(const QDateTime& time, const TARecord& record);
    // Queues a message of another topic in the readings' order and queue
    // (the power of several meters).
    void queueMessage(const std::string& topic, std::string payload);
    // The meter's warnings, for the retained status; published when they change.
    void meterState(const MeterState& state);
    // A retained message the broker gets now and after every reconnect (a
    // discovery config); a later one on the same topic replaces it.
    void keepRetained(const std::string& topic, const std::string& payload);
    // The alarm's state (AlarmTexts.h), retained; again after a reconnect.
    void alarmState(const std::string& payload);
    // A row of statistics, retained; kept for the broker while it is away.
    void statsRow(const std::string& json);
    // This run's id, in the status and the meta topics: 16 hex digits.
    const std::string& runId() const { return m_run; }
    // Gives queued readings up to `grace` to be acknowledged, says "offline",
    // disconnects and ends the thread. Once only; the destructor calls it.
    void stop(std::chrono::milliseconds grace = std::chrono::seconds(2));

    long long queued() const;
    long long dropped() const;

private:
    struct Entry
    {
        long long seq = 0;
        std::string payload;
        int mid = 0; // libmosquitto's message id while sent and not acknowledged
        bool acknowledged = false;
        std::string topic; // empty: the reading topic
    };

    static void onConnect(mosquitto*, void* self, int rc);
    static void onDisconnect(mosquitto*, void* self, int rc);
    static void onPublish(mosquitto*, void* self, int mid);
    static void onMessage(mosquitto*, void* self, const mosquitto_message* message);
    static void onLog(mosquitto*, void* self, int level, const char* text);

    void run();
    void queueLocked(const std::string& topic, std::string payload);            // m_mutex held
    void sendMore();                                                            // m_mutex held
    void publishRetained(const std::string& topic, const std::string& payload); // m_mutex held
    void outage(const QString& reason);                                         // m_mutex held
    void endOutageWhenDrained();                                                // m_mutex held
    void say(const QString& text) const;
    QString failureReason(int rc, int savedErrno, bool timedOut) const; // m_mutex held
    std::string status() const;                                         // online, m_mutex held

    MqttSettings m_settings;
    std::string m_run;
    MqttTopics m_topics;
    std::FILE* m_err;
    mosquitto* m_client = nullptr;
    std::string m_meta;
    std::thread m_thread;

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Entry> m_queue;
    std::size_t m_nextToSend = 0; // index in m_queue
    int m_inFlight = 0;
    std::unordered_map<int, long long> m_seqOfMid;
    long long m_nextSeq = 1;     // of the queue's entries
    long long m_nextReading = 1; // the readings' seq
    long long m_dropped = 0;
    long long m_droppedInOutage = 0;
    bool m_overflowSaid = false;
    bool m_connected = false;
    bool m_answered = false; // the broker answered this try's login
    MeterState m_meter;
    std::map<std::string, std::string> m_kept; // keepRetained(): topic, payload
    std::vector<std::string> m_othersSaid;     // runs of other loggers, said once each
    bool m_inOutage = false;
    long long m_drainUntil = -1; // the last seq queued when the broker came back
    long long m_drainCount = 0;
    QString m_refusal; // the broker's CONNACK reason
    mutable std::mutex m_logMutex;
    QString m_lastError; // libmosquitto's last error log line (TLS reasons)
    JobControl m_job;    // cancelled under the mutex, so that the waits see it
    bool m_stopped = false;
};

} // namespace dmm::logtool
