// A test's MQTT subscriber (libmosquitto): keeps every message it receives on its filters,
// subscribing again after each reconnect.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

struct mosquitto;
struct mosquitto_message;

namespace gatewaytest {

struct Received {
    std::string topic;
    std::string payload;
    bool retained = false;
};

// A broker's user; anonymous when empty.
struct Login {
    std::string user;
    std::string password;
};

class MqttRecorder {
  public:
    MqttRecorder(std::uint16_t port, std::vector<std::string> filters, int qos = 1,
                 const Login &login = {});
    ~MqttRecorder();
    MqttRecorder(const MqttRecorder &) = delete;
    MqttRecorder &operator=(const MqttRecorder &) = delete;

    // Waits until the subscription is acknowledged.
    bool waitSubscribed(std::chrono::seconds deadline);
    // Waits until `done` holds for the messages so far.
    bool waitFor(const std::function<bool(const std::vector<Received> &)> &done,
                 std::chrono::seconds deadline);
    std::vector<Received> messages();
    // Messages on topics that end with `suffix`.
    std::vector<Received> on(const std::string &suffix);

  private:
    static void onConnect(mosquitto *, void *self, int result);
    static void onSubscribe(mosquitto *, void *self, int, int, const int *);
    static void onMessage(mosquitto *, void *self, const mosquitto_message *message);

    std::vector<std::string> filters_;
    int qos_;
    mosquitto *client_ = nullptr;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Received> messages_;
    bool subscribed_ = false;
};

}  // namespace gatewaytest
