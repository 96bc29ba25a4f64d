// MQTT output (libmosquitto): tag messages on the tag topic with QoS 0 or 1 (one sighting a
// message, or batches of one reader's sightings), retained reader and gateway statuses (the
// gateway's set offline by the broker through the will; reader statuses left online by an
// earlier run under the same name set offline on connect), statistics. Messages wait in the
// store while the broker is away; with QoS 1 a message leaves the store only when the broker
// has acknowledged it (PUBACK), and what was in flight when the connection broke is sent
// again (at least once).
#pragma once

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>

#include "batcher.h"
#include "output.h"

struct mosquitto;
struct mosquitto_message;

namespace gateway {

struct BrokerAddress {
    std::string host;
    int port = 1883;
    std::string user;
    std::string password;
    bool tls = false;
};

// mqtt://[USER[:PASSWORD]@]HOST[:PORT] or mqtts://… (port 8883); the error names what is wrong.
std::optional<BrokerAddress> parseBrokerUrl(const std::string &url, std::string &error);

struct MqttSettings {
    BrokerAddress broker;
    std::string caFile;
    std::string topic;  // {reader} stands for the reader's serial number
    int qos = 1;
    std::string name;  // the gateway's name in its status and statistics topics
    // Up to `batch` sightings of one reader in one message, waiting at most `linger` for it.
    std::size_t batch = 1;
    std::chrono::milliseconds linger{0};
};

class MqttOutput : public Output {
  public:
    // Starts connecting at once and keeps reconnecting (with back-off) while the broker is
    // away. Throws std::runtime_error when libmosquitto refuses the settings.
    MqttOutput(MqttSettings settings, Store &store);
    ~MqttOutput() override;
    MqttOutput(const MqttOutput &) = delete;
    MqttOutput &operator=(const MqttOutput &) = delete;

    void wake() override;
    void readerStatus(const std::string &reader, const std::string &json) override;
    void stats(Stats stats) override;
    void finish(std::chrono::steady_clock::time_point deadline) override;
    OutputHealth health() const override;
    std::uint64_t published() const override;
    std::string name() const override { return "mqtt"; }
    OutputBit bit() const override { return OutputBit::Mqtt; }

  private:
    static void onConnect(mosquitto *, void *self, int result);
    static void onDisconnect(mosquitto *, void *self, int result);
    static void onPublish(mosquitto *, void *self, int mid);
    static void onMessage(mosquitto *, void *self, const mosquitto_message *message);

    // Connects (trying again with back-off while the broker is away) and runs the client.
    void networkLoop();
    void sendLoop();
    // Under mutex_: tops the batcher up from the store.
    void refill();
    // Under mutex_: publishes one batch; false (and it goes back) when the client refuses it.
    bool publish(std::vector<StoredMessage> batch);
    // Under mutex_: the broker (or, at QoS 0, the client) has the batch.
    void delivered(const std::vector<StoredMessage> &batch);
    // Under mutex_. Publishes a retained status; its acknowledgement is awaited by finish.
    void publishStatus(const std::string &topic, const std::string &json);
    // Under mutex_: a retained reader status this gateway's name left behind in an earlier
    // run says offline unless this run has the reader online.
    void clearLeftStatus(const std::string &topic, const std::string &json);
    std::string tagTopic(const std::string &reader) const;
    bool drained() const;

    MqttSettings settings_;
    std::string gatewayTopic_;
    mosquitto *client_ = nullptr;

    Store &store_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    Batcher batcher_;
    std::uint64_t cursor_ = 0;
    bool fresh_ = true;      // the store may hold messages not taken yet
    bool flushing_ = false;  // shutting down: no lingering
    std::map<int, std::vector<StoredMessage>> inFlight_;  // by message id
    std::set<int> statusesInFlight_;
    std::map<std::string, std::string> statuses_;  // topic -> retained payload, sent on connect
    bool connected_ = false;
    std::atomic<bool> stopping_{false};
    std::uint64_t delivered_ = 0;
    std::thread network_;
    std::thread sender_;
};

}  // namespace gateway
