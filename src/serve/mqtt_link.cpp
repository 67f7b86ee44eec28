#include "serve/mqtt_link.h"

#include <mosquitto.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <unistd.h>

namespace {

constexpr int kKeepAliveSeconds = 30;
constexpr int kFirstRetrySeconds = 1, kLastRetrySeconds = 30;
// QoS 1 messages handed to the client and not yet acknowledged; the rest
// wait in the outbox, which keeps the newest kOutboxCapacity.
constexpr int kMaxInFlight = 20;
constexpr std::size_t kOutboxCapacity = 1000;
constexpr int kQos = 1;
constexpr const char* kSystemCertificates = "/etc/ssl/certs";

std::string hostName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) return "host";
    std::string out;
    for (const char* c = name; *c && out.size() < 48; ++c)
        out += std::isalnum(static_cast<unsigned char>(*c)) || *c == '-' ? *c : '_';
    return out.empty() ? "host" : out;
}

} // namespace

std::string defaultClientId(const std::string& line) {
    return "q7-" + hostName() + "-" + line;
}

namespace {

std::string mosquittoError(int rc) {
    return rc == MOSQ_ERR_ERRNO ? std::strerror(errno) : mosquitto_strerror(rc);
}

} // namespace

void MqttLink::onConnect(mosquitto*, void* link, int rc) {
    auto* self = static_cast<MqttLink*>(link);
    if (rc == 0) self->accepted_ = true;
    self->inbox_.post({BrokerEvent::Kind::connected, rc, {}, {}, false});
}

void MqttLink::onDisconnect(mosquitto*, void* link, int rc) {
    static_cast<MqttLink*>(link)->inbox_.post({BrokerEvent::Kind::disconnected, rc, {}, {}, false});
}

void MqttLink::onPublish(mosquitto*, void* link, int) {
    static_cast<MqttLink*>(link)->inbox_.post({BrokerEvent::Kind::published, 0, {}, {}, false});
}

// Only the topic and a bounded payload are kept; the rest is the line
// thread's to judge.
void MqttLink::onMessage(mosquitto*, void* link, const mosquitto_message* m) {
    BrokerEvent e;
    e.kind = BrokerEvent::Kind::message;
    e.topic = m->topic ? m->topic : "";
    const auto length = std::size_t(std::max(m->payloadlen, 0));
    e.tooLong = length > Inbox::kMaxPayload;
    if (!e.tooLong && m->payload) e.payload.assign(static_cast<const char*>(m->payload), length);
    e.retained = m->retain;
    static_cast<MqttLink*>(link)->inbox_.post(std::move(e));
}

MqttLink::MqttLink(const BrokerConfig& config, std::string availabilityTopic, Inbox& inbox, Log log)
    : config_(config), availabilityTopic_(std::move(availabilityTopic)), inbox_(inbox),
      log_(std::move(log)), outbox_(kOutboxCapacity) {}

MqttLink::~MqttLink() {
    if (network_.joinable()) {
        stopping_ = true;
        pauseEnds_.notify_all();
        network_.join();
    }
    if (client_) mosquitto_destroy(client_);
    mosquitto_lib_cleanup();
}

bool MqttLink::start(std::string* why) {
    mosquitto_lib_init();
    client_ = mosquitto_new(config_.clientId.c_str(), true, this);
    if (!client_) {
        *why = std::string("cannot make an MQTT client: ") + std::strerror(errno);
        return false;
    }
    mosquitto_threaded_set(client_, true);
    mosquitto_connect_callback_set(client_, onConnect);
    mosquitto_disconnect_callback_set(client_, onDisconnect);
    mosquitto_publish_callback_set(client_, onPublish);
    mosquitto_message_callback_set(client_, onMessage);
    int rc = mosquitto_will_set(client_, availabilityTopic_.c_str(), 7, "offline", kQos, true);
    if (rc == MOSQ_ERR_SUCCESS && !config_.user.empty())
        rc = mosquitto_username_pw_set(client_, config_.user.c_str(), config_.password.c_str());
    if (rc == MOSQ_ERR_SUCCESS && config_.tls) {
        // The broker is verified, its name included; nothing here turns that
        // off. The system's certificates are named as a folder: the client's
        // own option for them fails every connection after a first failed
        // handshake, and the bridge would never reach its broker again.
        rc = config_.caFile.empty() ? mosquitto_tls_set(client_, nullptr, kSystemCertificates,
                                                        nullptr, nullptr, nullptr)
                                    : mosquitto_tls_set(client_, config_.caFile.c_str(), nullptr,
                                                        nullptr, nullptr, nullptr);
        if (rc == MOSQ_ERR_SUCCESS) rc = mosquitto_tls_opts_set(client_, 1, nullptr, nullptr);
        if (rc == MOSQ_ERR_SUCCESS) rc = mosquitto_tls_insecure_set(client_, false);
    }
    if (rc != MOSQ_ERR_SUCCESS) {
        *why = "cannot set the MQTT client up: " + mosquittoError(rc);
        return false;
    }
    network_ = std::thread([this] { keepConnected(); });
    return true;
}

bool MqttLink::pause(int seconds) {
    std::unique_lock lock(pauseMutex_);
    return !pauseEnds_.wait_for(lock, std::chrono::seconds(seconds),
                                [&] { return stopping_.load(); });
}

void MqttLink::keepConnected() {
    int retry = kFirstRetrySeconds;
    while (!stopping_) {
        accepted_ = false;
        int rc = mosquitto_connect(client_, config_.host.c_str(), config_.port, kKeepAliveSeconds);
        if (rc == MOSQ_ERR_SUCCESS) {
            while (!stopping_ && rc == MOSQ_ERR_SUCCESS)
                rc = mosquitto_loop(client_, 1000, 1);
        } else {
            // A name that does not resolve, a refused connection, a failed
            // handshake: each is tried again, so a broker that comes later
            // finds the bridge.
            inbox_.post({BrokerEvent::Kind::disconnected, -1, std::to_string(retry),
                         mosquittoError(rc), false});
        }
        if (stopping_) break;
        // A broker that took the connection is asked again soon after it
        // is lost; one that keeps refusing, ever more rarely.
        if (accepted_) retry = kFirstRetrySeconds;
        if (!pause(retry)) break;
        retry = std::min(retry * 2, kLastRetrySeconds);
    }
}

bool MqttLink::handle(const BrokerEvent& event) {
    switch (event.kind) {
    case BrokerEvent::Kind::connected:
        if (event.code != 0) {
            log_("the broker refused the connection: " +
                 std::string(mosquitto_connack_string(event.code)));
            return false;
        }
        log_(
            (everConnected_ ? "connected to the broker again at " : "connected to the broker at ") +
            config_.host + ":" + std::to_string(config_.port));
        connected_ = everConnected_ = true;
        unreachable_.clear();
        inFlight_ = 0;
        for (const std::string& s : subscriptions_)
            mosquitto_subscribe(client_, nullptr, s.c_str(), kQos);
        outbox_.putBack({availabilityTopic_, "online", true});
        flush();
        return true;
    case BrokerEvent::Kind::disconnected:
        if (event.code >= 0) {
            if (connected_) log_("lost the broker (" + mosquittoError(event.code) + ")");
            connected_ = false;
            inFlight_ = 0;
        } else if (event.payload != unreachable_) {
            // One line per new reason, not one per attempt.
            unreachable_ = event.payload;
            log_("cannot reach the broker at " + config_.host + ":" + std::to_string(config_.port) +
                 " (" + event.payload + "); trying again in " + event.topic +
                 " s, then ever less often, up to every 30 s");
        }
        return false;
    case BrokerEvent::Kind::published:
        inFlight_ = std::max(inFlight_ - 1, 0);
        flush();
        return false;
    case BrokerEvent::Kind::message:
        break;
    }
    return false;
}

void MqttLink::subscribe(const std::string& pattern) {
    subscriptions_.push_back(pattern);
    if (connected_) mosquitto_subscribe(client_, nullptr, pattern.c_str(), kQos);
}

void MqttLink::publish(std::string topic, std::string payload, bool retain) {
    outbox_.push({std::move(topic), std::move(payload), retain});
    flush();
}

void MqttLink::flush() {
    while (connected_ && inFlight_ < kMaxInFlight && !outbox_.empty()) {
        OutMessage m = outbox_.pop();
        const int rc = mosquitto_publish(client_, nullptr, m.topic.c_str(), int(m.payload.size()),
                                         m.payload.data(), kQos, m.retain);
        if (rc != MOSQ_ERR_SUCCESS) {
            // Not connected after all: it waits for the next connection.
            outbox_.putBack(std::move(m));
            break;
        }
        ++inFlight_;
    }
    // Told once the broker is back (or at the end), not once per message dropped.
    if (connected_) tellDropped();
}

void MqttLink::tellDropped() {
    if (const std::size_t dropped = outbox_.takeDropped())
        log_(std::to_string(dropped) +
             " message(s) waiting for the broker were dropped, the oldest first; the newest "
             "were kept");
}

void MqttLink::finish() {
    if (connected_) {
        // A clean disconnect leaves the last will unsaid: say it.
        publish(availabilityTopic_, "offline", true);
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (connected_ && (inFlight_ > 0 || !outbox_.empty()) &&
               std::chrono::steady_clock::now() < end)
            for (const BrokerEvent& e : inbox_.waitAfterStop(end))
                handle(e);
    }
    tellDropped();
    stopping_ = true;
    pauseEnds_.notify_all();
    if (client_) mosquitto_disconnect(client_);
    if (network_.joinable()) network_.join();
}
