#include "mqtt_output.h"

#include <mosquitto.h>

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "backoff.h"
#include "json_text.h"
#include "log.h"

namespace gateway {

namespace {

// Messages published and not yet acknowledged at once: enough to keep a link busy, small
// enough that a broken connection sends little twice.
constexpr unsigned kInFlightLimit = 256;
constexpr int kKeepAliveSeconds = 30;
constexpr auto kReconnectFirst = std::chrono::seconds(1);
constexpr auto kReconnectLongest = std::chrono::seconds(8);
constexpr auto kRetryAfterFailedPublish = std::chrono::milliseconds(200);
// How long one turn of the network loop may block, so stopping is noticed soon.
constexpr int kLoopTurnMs = 100;
constexpr int kTurnsAfterStop = 5;
// Messages taken from the store ahead of publishing, besides those in flight.
constexpr std::size_t kWindow = 4096;
// Where reader statuses are retained: tagbench/{reader}/status.
constexpr const char *kReaderStatuses = "tagbench/+/status";

// One library set-up for the process, before any thread could race it.
struct LibraryUse {
    LibraryUse() { mosquitto_lib_init(); }
    ~LibraryUse() { mosquitto_lib_cleanup(); }
};

void requireSuccess(int result, const std::string &what) {
    if (result != MOSQ_ERR_SUCCESS) {
        throw std::runtime_error(what + ": " + mosquitto_strerror(result));
    }
}

}  // namespace

std::optional<BrokerAddress> parseBrokerUrl(const std::string &url, std::string &error) {
    BrokerAddress broker;
    std::string rest;
    if (url.starts_with("mqtt://")) {
        rest = url.substr(7);
    } else if (url.starts_with("mqtts://")) {
        rest = url.substr(8);
        broker.tls = true;
        broker.port = 8883;
    } else {
        error = "expected mqtt://[USER[:PASSWORD]@]HOST[:PORT] or mqtts://…, got " + url;
        return std::nullopt;
    }
    if (const auto at = rest.rfind('@'); at != std::string::npos) {
        const std::string credentials = rest.substr(0, at);
        rest = rest.substr(at + 1);
        const auto colon = credentials.find(':');
        broker.user = credentials.substr(0, colon);
        if (colon != std::string::npos) broker.password = credentials.substr(colon + 1);
    }
    if (!rest.empty() && rest.back() == '/') rest.pop_back();
    if (const auto colon = rest.rfind(':'); colon != std::string::npos) {
        const std::string digits = rest.substr(colon + 1);
        rest = rest.substr(0, colon);
        if (digits.empty() || digits.size() > 5 ||
            digits.find_first_not_of("0123456789") != std::string::npos || std::stoi(digits) < 1 ||
            std::stoi(digits) > 65535) {
            error = "the port of " + url + " is not 1..65535";
            return std::nullopt;
        }
        broker.port = std::stoi(digits);
    }
    if (rest.empty() || rest.find('/') != std::string::npos) {
        error = "no host in " + url;
        return std::nullopt;
    }
    broker.host = rest;
    return broker;
}

MqttOutput::MqttOutput(MqttSettings settings, Store &store)
    : settings_(std::move(settings)),
      gatewayTopic_("tagbench/gateway/" + settings_.name),
      store_(store),
      batcher_(settings_.batch, settings_.linger, true) {
    static LibraryUse library;
    client_ = mosquitto_new(nullptr, true, this);
    if (client_ == nullptr) throw std::runtime_error("cannot create the MQTT client");
    mosquitto_int_option(client_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_max_inflight_messages_set(client_, kInFlightLimit);
    mosquitto_connect_callback_set(client_, onConnect);
    mosquitto_disconnect_callback_set(client_, onDisconnect);
    mosquitto_publish_callback_set(client_, onPublish);
    mosquitto_message_callback_set(client_, onMessage);
    const BrokerAddress &broker = settings_.broker;
    if (!broker.user.empty()) {
        requireSuccess(
            mosquitto_username_pw_set(client_, broker.user.c_str(), broker.password.c_str()),
            "MQTT user");
    }
    if (broker.tls) {
        requireSuccess(
            mosquitto_tls_set(
                client_, settings_.caFile.empty() ? nullptr : settings_.caFile.c_str(),
                settings_.caFile.empty() ? "/etc/ssl/certs" : nullptr, nullptr, nullptr, nullptr),
            "MQTT TLS");
    }
    // The will names the moment this gateway went online: the broker cannot know when it died.
    const std::string will = statusJson(false, Clock::now());
    requireSuccess(mosquitto_will_set(client_, (gatewayTopic_ + "/status").c_str(),
                                      int(will.size()), will.data(), 1, true),
                   "MQTT will");
    {
        const std::lock_guard lock(mutex_);
        statuses_[gatewayTopic_ + "/status"] = statusJson(true, Clock::now());
    }
    mosquitto_threaded_set(client_, true);
    network_ = std::thread([this] { networkLoop(); });
    sender_ = std::thread([this] { sendLoop(); });
}

MqttOutput::~MqttOutput() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (sender_.joinable()) sender_.join();
    // A clean DISCONNECT: the broker drops the will. It also ends the network loop.
    mosquitto_disconnect(client_);
    if (network_.joinable()) network_.join();
    mosquitto_destroy(client_);
}

std::string MqttOutput::tagTopic(const std::string &reader) const {
    std::string topic = settings_.topic;
    const std::string field = "{reader}";
    for (auto at = topic.find(field); at != std::string::npos; at = topic.find(field, at)) {
        topic.replace(at, field.size(), reader);
        at += reader.size();
    }
    return topic;
}

void MqttOutput::wake() {
    {
        const std::lock_guard lock(mutex_);
        fresh_ = true;
    }
    changed_.notify_all();
}

void MqttOutput::publishStatus(const std::string &topic, const std::string &json) {
    statuses_[topic] = json;
    if (!connected_) return;  // sent again on connect
    int mid = 0;
    if (mosquitto_publish(client_, &mid, topic.c_str(), int(json.size()), json.data(), 1, true) ==
        MOSQ_ERR_SUCCESS) {
        statusesInFlight_.insert(mid);
    }
}

void MqttOutput::readerStatus(const std::string &reader, const std::string &json) {
    const std::lock_guard lock(mutex_);
    publishStatus("tagbench/" + reader + "/status", json);
}

void MqttOutput::stats(Stats stats) {
    const std::lock_guard lock(mutex_);
    stats.published = delivered_;
    stats.dropped = store_.dropped();
    stats.queued = store_.waiting(OutputBit::Mqtt);
    if (!connected_) return;
    const std::string json = statsJson(stats);
    mosquitto_publish(client_, nullptr, (gatewayTopic_ + "/stats").c_str(), int(json.size()),
                      json.data(), 0, false);
}

void MqttOutput::networkLoop() {
    const BrokerAddress &broker = settings_.broker;
    const std::string where = broker.host + ":" + std::to_string(broker.port);
    tools::Backoff retry(kReconnectFirst, kReconnectLongest);
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        lock.unlock();
        int result =
            mosquitto_connect(client_, broker.host.c_str(), broker.port, kKeepAliveSeconds);
        if (result == MOSQ_ERR_SUCCESS) {
            // Turns end on a lost connection, or on the clean DISCONNECT sent when stopping;
            // a few turns at most after that, whatever the broker does.
            int turnsAfterStop = 0;
            while ((result = mosquitto_loop(client_, kLoopTurnMs, 1)) == MOSQ_ERR_SUCCESS &&
                   (!stopping_ || ++turnsAfterStop < kTurnsAfterStop)) {
            }
        }
        lock.lock();
        if (stopping_) break;
        if (!connected_ && retry.fresh()) {
            log::line("MQTT broker " + where + ": " + mosquitto_strerror(result) + "; retrying");
        }
        if (connected_) retry.reset();
        changed_.wait_for(lock, retry.next(), [this] { return stopping_.load(); });
    }
}

void MqttOutput::refill() {
    while (fresh_ && batcher_.size() < kWindow) {
        const std::size_t wanted = kWindow - batcher_.size();
        auto messages = store_.next(OutputBit::Mqtt, cursor_, wanted);
        if (messages.size() < wanted) fresh_ = false;
        if (messages.empty()) break;
        cursor_ = messages.back().id;
        const auto now = std::chrono::steady_clock::now();
        const auto wallNow = Clock::now();
        for (StoredMessage &message : messages) batcher_.add(std::move(message), now, wallNow);
    }
}

void MqttOutput::sendLoop() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        if (!connected_ || inFlight_.size() >= kInFlightLimit) {
            changed_.wait(lock);
            continue;
        }
        refill();
        std::vector<StoredMessage> batch =
            batcher_.take(std::chrono::steady_clock::now(), flushing_);
        if (batch.empty()) {
            changed_.wait_until(lock, batcher_.nextDue(), [this] { return stopping_ || fresh_; });
            continue;
        }
        // A refusal means the connection broke under us: wait for the reconnect.
        if (!publish(std::move(batch))) changed_.wait_for(lock, kRetryAfterFailedPublish);
    }
}

bool MqttOutput::publish(std::vector<StoredMessage> batch) {
    const std::string &reader = batch.front().reader;
    std::string batchText;
    if (settings_.batch > 1) {
        std::vector<std::string_view> tags;
        for (const StoredMessage &message : batch) tags.push_back(message.json);
        batchText = batchJson(reader, tags);
    }
    const std::string &payload = settings_.batch > 1 ? batchText : batch.front().json;
    int mid = 0;
    const int result = mosquitto_publish(client_, &mid, tagTopic(reader).c_str(),
                                         int(payload.size()), payload.data(), settings_.qos, false);
    if (result != MOSQ_ERR_SUCCESS) {
        failed_ += batch.size();
        batcher_.putBack(std::move(batch));
        return false;
    }
    if (settings_.qos == 0) {
        delivered(batch);
    } else {
        inFlight_.emplace(mid, std::move(batch));
    }
    return true;
}

void MqttOutput::delivered(const std::vector<StoredMessage> &batch) {
    std::vector<std::uint64_t> ids;
    for (const StoredMessage &message : batch) ids.push_back(message.id);
    store_.delivered(OutputBit::Mqtt, ids);
    delivered_ += ids.size();
    deliveredNow(batch);
}

void MqttOutput::onConnect(mosquitto *, void *self, int result) {
    auto *output = static_cast<MqttOutput *>(self);
    const BrokerAddress &broker = output->settings_.broker;
    const std::string where = broker.host + ":" + std::to_string(broker.port);
    if (result != 0) {
        log::line("MQTT broker " + where +
                  " refused the connection: " + mosquitto_connack_string(result));
        return;
    }
    log::line("connected to MQTT broker " + where);
    {
        const std::lock_guard lock(output->mutex_);
        output->connected_ = true;
        for (const auto &[topic, json] : std::map(output->statuses_)) {
            output->publishStatus(topic, json);
        }
        // The retained reader statuses arrive after the subscription; see onMessage.
        mosquitto_subscribe(output->client_, nullptr, kReaderStatuses, 1);
    }
    output->changed_.notify_all();
}

void MqttOutput::onDisconnect(mosquitto *, void *self, int result) {
    auto *output = static_cast<MqttOutput *>(self);
    {
        const std::lock_guard lock(output->mutex_);
        if (output->connected_ && result != 0) {
            log::line("lost the MQTT broker: " + std::string(mosquitto_strerror(result)) +
                      "; reconnecting");
        }
        output->connected_ = false;
        // Unacknowledged batches go out again after the reconnect, in their order: put back
        // newest first, each in front of the rest.
        std::vector<std::vector<StoredMessage>> unacknowledged;
        for (auto &[mid, batch] : output->inFlight_) unacknowledged.push_back(std::move(batch));
        std::sort(unacknowledged.begin(), unacknowledged.end(),
                  [](const auto &a, const auto &b) { return a.front().id > b.front().id; });
        for (auto &batch : unacknowledged) {
            output->failed_ += batch.size();
            output->batcher_.putBack(std::move(batch));
        }
        output->inFlight_.clear();
        output->statusesInFlight_.clear();
    }
    output->changed_.notify_all();
}

void MqttOutput::onPublish(mosquitto *, void *self, int mid) {
    auto *output = static_cast<MqttOutput *>(self);
    {
        const std::lock_guard lock(output->mutex_);
        if (const auto batch = output->inFlight_.find(mid); batch != output->inFlight_.end()) {
            output->delivered(batch->second);
            output->inFlight_.erase(batch);
        }
        output->statusesInFlight_.erase(mid);
    }
    output->changed_.notify_all();
}

void MqttOutput::onMessage(mosquitto *, void *self, const mosquitto_message *message) {
    // Only retained statuses, as the broker sends them on subscribing, tell of earlier runs.
    if (message->retain == 0 || message->payloadlen <= 0) return;
    auto *output = static_cast<MqttOutput *>(self);
    const std::lock_guard lock(output->mutex_);
    output->clearLeftStatus(message->topic, std::string(static_cast<const char *>(message->payload),
                                                        std::size_t(message->payloadlen)));
}

void MqttOutput::clearLeftStatus(const std::string &topic, const std::string &json) {
    // The form statusJson writes: state first, the gateway's name last.
    const std::string mine = ",\"gateway\":" + jsontext::quoted(settings_.name) + "}";
    if (!json.starts_with("{\"state\":\"online\"") || !json.ends_with(mine)) return;
    if (const auto now = statuses_.find(topic); now != statuses_.end()) {
        if (now->second.starts_with("{\"state\":\"online\"")) return;
    }
    log::line("MQTT: " + topic + " was left online by an earlier run; setting it offline");
    publishStatus(topic, statusJson(false, Clock::now(), settings_.name));
}

bool MqttOutput::drained() const {
    return store_.waiting(OutputBit::Mqtt) == 0 && inFlight_.empty() && statusesInFlight_.empty();
}

void MqttOutput::finish(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    flushing_ = true;
    changed_.notify_all();
    changed_.wait_until(lock, deadline, [this] { return drained(); });
    publishStatus(gatewayTopic_ + "/status", statusJson(false, Clock::now()));
    changed_.wait_until(lock, deadline, [this] { return drained(); });
    if (const auto left = store_.waiting(OutputBit::Mqtt); left > 0) {
        log::line("MQTT: " + std::to_string(left) + " messages not delivered at exit");
    }
}

OutputHealth MqttOutput::health() const {
    const std::lock_guard lock(mutex_);
    if (connected_) return {};
    const BrokerAddress &broker = settings_.broker;
    return {false,
            "MQTT broker " + broker.host + ":" + std::to_string(broker.port) + " not connected"};
}

std::uint64_t MqttOutput::published() const {
    const std::lock_guard lock(mutex_);
    return delivered_;
}

}  // namespace gateway
