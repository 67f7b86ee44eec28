#include "serve/mqtt_link.h"

#include <mosquitto.h>
#include <mqtt_protocol.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <unistd.h>

namespace {

constexpr int kKeepAliveSeconds = 30;
// A broker answers a connection at once; one that takes the connection and
// says nothing is no broker to wait for (a wrong port, a TLS one).
constexpr int kAnswerSeconds = 10;
constexpr int kFirstRetrySeconds = 1, kLastRetrySeconds = 30;
// QoS 1 messages handed to the client and not yet acknowledged; the rest
// wait in the outbox, which keeps the newest kOutboxCapacity.
constexpr std::size_t kMaxInFlight = 20;
constexpr std::size_t kOutboxCapacity = 1000;
constexpr int kQos = 1;
// A retained command must be seen as retained whenever it comes, which the
// broker tells only in MQTT 5 and only when asked; what the bridge itself
// publishes (the clearing of such a command) need not come back to it.
constexpr int kSubscribeOptions = MQTT_SUB_OPT_RETAIN_AS_PUBLISHED | MQTT_SUB_OPT_NO_LOCAL;
constexpr const char* kSystemCertificates = "/etc/ssl/certs";

std::string hostName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) return "host";
    std::string out;
    for (const char* c = name; *c && out.size() < 48; ++c)
        out += std::isalnum(static_cast<unsigned char>(*c)) || *c == '-' ? *c : '_';
    return out.empty() ? "host" : out;
}

std::string mosquittoError(int rc) {
    return rc == MOSQ_ERR_ERRNO ? std::strerror(errno) : mosquitto_strerror(rc);
}

} // namespace

std::string defaultClientId(const std::string& line) {
    return "q7-" + hostName() + "-" + line;
}

void MqttLink::onConnect(mosquitto*, void* link, int rc) {
    auto* self = static_cast<MqttLink*>(link);
    if (rc == 0) {
        std::lock_guard lock(self->clientMutex_);
        self->sessionUp_ = true;
    } else {
        self->refused_ =
            std::string("the broker refused the connection: ") + mosquitto_reason_string(rc);
    }
    self->inbox_.post({BrokerEvent::Kind::connected, rc, {}, {}, false});
}

void MqttLink::onPublish(mosquitto*, void* link, int mid) {
    static_cast<MqttLink*>(link)->inbox_.post({BrokerEvent::Kind::published, mid, {}, {}, false});
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

// The library says why a TLS handshake failed only in its log.
void MqttLink::onLog(mosquitto*, void* link, int level, const char* text) {
    if (level != MOSQ_LOG_ERR || !text) return;
    // "OpenSSL Error[0]: error:0A000086:SSL routines::certificate verify failed"
    std::string line = text;
    if (const auto at = line.rfind("::"); at != std::string::npos) line = line.substr(at + 2);
    static_cast<MqttLink*>(link)->clientLog_ = line;
}

MqttLink::MqttLink(const BrokerConfig& config, std::string availabilityTopic, Inbox& inbox, Log log)
    : config_(config), availabilityTopic_(std::move(availabilityTopic)), inbox_(inbox),
      log_(std::move(log)), outbox_(kOutboxCapacity) {}

MqttLink::~MqttLink() {
    if (network_.joinable()) {
        stopping_ = true;
        pauseEnds_.notify_all();
        {
            std::lock_guard lock(clientMutex_);
            if (client_) mosquitto_disconnect(client_);
        }
        network_.join();
    }
    mosquitto_lib_cleanup();
}

mosquitto* MqttLink::makeClient(std::string* why) {
    mosquitto* client = mosquitto_new(config_.clientId.c_str(), true, this);
    if (!client) {
        *why = std::string("cannot make an MQTT client: ") + std::strerror(errno);
        return nullptr;
    }
    mosquitto_threaded_set(client, true);
    mosquitto_connect_callback_set(client, onConnect);
    mosquitto_publish_callback_set(client, onPublish);
    mosquitto_message_callback_set(client, onMessage);
    mosquitto_log_callback_set(client, onLog);
    int rc = mosquitto_int_option(client, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V5);
    if (rc == MOSQ_ERR_SUCCESS)
        rc = mosquitto_will_set(client, availabilityTopic_.c_str(), 7, "offline", kQos, true);
    if (rc == MOSQ_ERR_SUCCESS && !config_.user.empty())
        rc = mosquitto_username_pw_set(client, config_.user.c_str(), config_.password.c_str());
    if (rc == MOSQ_ERR_SUCCESS && config_.tls) {
        // The broker is verified, its name included; nothing here turns that
        // off. The system's certificates are named as a folder: the client's
        // own option for them fails every connection after a first failed
        // handshake, and the bridge would never reach its broker again.
        rc = config_.caFile.empty() ? mosquitto_tls_set(client, nullptr, kSystemCertificates,
                                                        nullptr, nullptr, nullptr)
                                    : mosquitto_tls_set(client, config_.caFile.c_str(), nullptr,
                                                        nullptr, nullptr, nullptr);
        if (rc == MOSQ_ERR_SUCCESS) rc = mosquitto_tls_opts_set(client, 1, nullptr, nullptr);
        if (rc == MOSQ_ERR_SUCCESS) rc = mosquitto_tls_insecure_set(client, false);
    }
    if (rc != MOSQ_ERR_SUCCESS) {
        *why = "cannot set the MQTT client up: " + mosquittoError(rc);
        mosquitto_destroy(client);
        return nullptr;
    }
    return client;
}

bool MqttLink::start(std::string* why) {
    mosquitto_lib_init();
    mosquitto* client = makeClient(why);
    if (!client) return false;
    mosquitto_destroy(client);
    network_ = std::thread([this] { keepConnected(); });
    return true;
}

bool MqttLink::pause(int seconds) {
    std::unique_lock lock(pauseMutex_);
    return !pauseEnds_.wait_for(lock, std::chrono::seconds(seconds),
                                [&] { return stopping_.load(); });
}

std::string MqttLink::connectOnce(mosquitto* client, bool* accepted) {
    refused_.clear();
    clientLog_.clear();
    const std::string tlsHint = config_.tls ? "" : "; a TLS port takes an mqtts:// url";
    int rc = mosquitto_connect(client, config_.host.c_str(), config_.port, kKeepAliveSeconds);
    if (rc != MOSQ_ERR_SUCCESS) {
        // A name that does not resolve, a refused connection, a failed
        // handshake: each is tried again, so a broker that comes later
        // finds the bridge.
        const std::string why = mosquittoError(rc);
        return clientLog_.empty() ? why : why + ": " + clientLog_;
    }
    const auto answerBy = std::chrono::steady_clock::now() + std::chrono::seconds(kAnswerSeconds);
    while (!stopping_ && rc == MOSQ_ERR_SUCCESS) {
        rc = mosquitto_loop(client, 1000, 1);
        if (!refused_.empty()) return refused_;
        {
            std::lock_guard lock(clientMutex_);
            *accepted = *accepted || sessionUp_;
        }
        if (!*accepted && std::chrono::steady_clock::now() > answerBy)
            return "no answer to the connection within " + std::to_string(kAnswerSeconds) +
                   " s: is it an MQTT broker" + (config_.tls ? "?" : tlsHint + "?");
    }
    if (stopping_) return "stopping";
    std::string why = mosquittoError(rc);
    if (!clientLog_.empty()) why += ": " + clientLog_;
    // A failed TLS check reads the same whichever step it failed in.
    if (*accepted || !clientLog_.empty()) return why;
    return "the connection closed before the broker accepted it (" + why + ")" + tlsHint;
}

void MqttLink::keepConnected() {
    int retry = kFirstRetrySeconds;
    while (!stopping_) {
        std::string why;
        bool accepted = false;
        if (mosquitto* client = makeClient(&why)) {
            {
                std::lock_guard lock(clientMutex_);
                client_ = client;
                sessionUp_ = false;
            }
            why = connectOnce(client, &accepted);
            {
                std::lock_guard lock(clientMutex_);
                client_ = nullptr;
                sessionUp_ = false;
            }
            // What the client still held goes with it; the line thread sends
            // what was not acknowledged again.
            mosquitto_destroy(client);
        }
        if (stopping_) break;
        // A broker that took the connection is asked again soon after it
        // is lost; one that keeps refusing, ever more rarely.
        if (accepted) retry = kFirstRetrySeconds;
        inbox_.post({BrokerEvent::Kind::disconnected, accepted ? 0 : -1, std::to_string(retry), why,
                     false});
        if (!pause(retry)) break;
        retry = std::min(retry * 2, kLastRetrySeconds);
    }
}

bool MqttLink::handle(const BrokerEvent& event) {
    switch (event.kind) {
    case BrokerEvent::Kind::connected: {
        // A refusal is told as the connection ends.
        if (event.code != 0) return false;
        log_(
            (everConnected_ ? "connected to the broker again at " : "connected to the broker at ") +
            config_.host + ":" + std::to_string(config_.port));
        connected_ = everConnected_ = true;
        unreachable_.clear();
        {
            std::lock_guard lock(clientMutex_);
            if (client_)
                for (const std::string& s : subscriptions_)
                    mosquitto_subscribe_v5(client_, nullptr, s.c_str(), kQos, kSubscribeOptions,
                                           nullptr);
        }
        // A broker that was away, or restarted and forgot, gets the latest
        // of everything kept for newcomers, once: a topic still waiting is
        // given its latest payload in its place.
        for (const auto& [topic, payload] : retained_)
            outbox_.push({topic, payload, true});
        outbox_.putBack({availabilityTopic_, "online", true});
        flush();
        tellState();
        return true;
    }
    case BrokerEvent::Kind::disconnected:
        if (connected_) {
            log_("lost the broker (" + event.payload + ")");
            connected_ = false;
            // Not acknowledged: sent again on the next connection, in their
            // order; a retained one is given again as its topic's latest.
            for (auto it = inFlight_.rbegin(); it != inFlight_.rend(); ++it)
                if (!it->second.retain) outbox_.putBack(std::move(it->second));
            inFlight_.clear();
            tellState();
        }
        if (event.code < 0 && event.payload != unreachable_) {
            // One line per new reason, not one per attempt.
            unreachable_ = event.payload;
            log_("cannot connect to the broker at " + config_.host + ":" +
                 std::to_string(config_.port) + " (" + event.payload + "); trying again in " +
                 event.topic + " s, then ever less often, up to every 30 s");
        }
        return false;
    case BrokerEvent::Kind::published:
        inFlight_.erase(event.code);
        flush();
        return false;
    case BrokerEvent::Kind::message:
        break;
    }
    return false;
}

void MqttLink::subscribe(const std::string& pattern) {
    subscriptions_.push_back(pattern);
    if (!connected_) return;
    std::lock_guard lock(clientMutex_);
    if (client_)
        mosquitto_subscribe_v5(client_, nullptr, pattern.c_str(), kQos, kSubscribeOptions, nullptr);
}

void MqttLink::unsubscribe(const std::string& pattern) {
    subscriptions_.erase(std::remove(subscriptions_.begin(), subscriptions_.end(), pattern),
                         subscriptions_.end());
    if (!connected_) return;
    std::lock_guard lock(clientMutex_);
    if (client_) mosquitto_unsubscribe_v5(client_, nullptr, pattern.c_str(), nullptr);
}

void MqttLink::publish(std::string topic, std::string payload, bool retain) {
    if (retain) {
        // Cleared topics are not cleared again at every connection.
        if (payload.empty())
            retained_.erase(topic);
        else
            retained_[topic] = payload;
    }
    outbox_.push({std::move(topic), std::move(payload), retain});
    flush();
}

void MqttLink::flush() {
    {
        std::lock_guard lock(clientMutex_);
        while (connected_ && client_ && sessionUp_ && inFlight_.size() < kMaxInFlight &&
               !outbox_.empty()) {
            OutMessage m = outbox_.pop();
            int mid = 0;
            const int rc = mosquitto_publish(client_, &mid, m.topic.c_str(), int(m.payload.size()),
                                             m.payload.data(), kQos, m.retain);
            if (rc != MOSQ_ERR_SUCCESS) {
                // Not connected after all: it waits for the next connection.
                outbox_.putBack(std::move(m));
                break;
            }
            inFlight_[mid] = std::move(m);
        }
    }
    // Told once the broker is back (or at the end), not once per message dropped.
    if (connected_) tellDropped();
}

void MqttLink::tellDropped() {
    if (const std::size_t dropped = outbox_.takeDropped()) {
        log_(std::to_string(dropped) +
             " message(s) waiting for the broker were dropped, the oldest first; the newest "
             "were kept");
        droppedTotal_ += dropped;
        tellState();
    }
}

void MqttLink::tellState() {
    if (told_) told_(connected_, droppedTotal_);
}

void MqttLink::finish() {
    // A connection the broker accepted while the line was busy is one to
    // say the last words into.
    for (const BrokerEvent& e : inbox_.waitAfterStop(std::chrono::steady_clock::now()))
        handle(e);
    if (connected_) {
        // A clean disconnect leaves the last will unsaid: say it.
        publish(availabilityTopic_, "offline", true);
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (connected_ && (!inFlight_.empty() || !outbox_.empty()) &&
               std::chrono::steady_clock::now() < end)
            for (const BrokerEvent& e : inbox_.waitAfterStop(end))
                handle(e);
    }
    tellDropped();
    stopping_ = true;
    pauseEnds_.notify_all();
    {
        std::lock_guard lock(clientMutex_);
        if (client_) mosquitto_disconnect(client_);
    }
    if (network_.joinable()) network_.join();
}
