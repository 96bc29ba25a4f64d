#include "mqtt_recorder.h"

#include <mosquitto.h>

namespace gatewaytest {

MqttRecorder::MqttRecorder(std::uint16_t port, std::vector<std::string> filters, int qos,
                           const Login &login)
    : filters_(std::move(filters)), qos_(qos) {
    mosquitto_lib_init();
    client_ = mosquitto_new(nullptr, true, this);
    mosquitto_connect_callback_set(client_, onConnect);
    mosquitto_subscribe_callback_set(client_, onSubscribe);
    mosquitto_message_callback_set(client_, onMessage);
    if (!login.user.empty()) {
        mosquitto_username_pw_set(client_, login.user.c_str(), login.password.c_str());
    }
    mosquitto_reconnect_delay_set(client_, 1, 2, false);
    mosquitto_connect_async(client_, "127.0.0.1", port, 30);
    mosquitto_loop_start(client_);
}

MqttRecorder::~MqttRecorder() {
    mosquitto_disconnect(client_);
    mosquitto_loop_stop(client_, false);
    mosquitto_destroy(client_);
}

void MqttRecorder::onConnect(mosquitto *client, void *self, int result) {
    if (result != 0) return;
    auto *recorder = static_cast<MqttRecorder *>(self);
    for (const std::string &filter : recorder->filters_) {
        mosquitto_subscribe(client, nullptr, filter.c_str(), recorder->qos_);
    }
}

void MqttRecorder::onSubscribe(mosquitto *, void *self, int, int, const int *) {
    auto *recorder = static_cast<MqttRecorder *>(self);
    {
        const std::lock_guard lock(recorder->mutex_);
        recorder->subscribed_ = true;
    }
    recorder->changed_.notify_all();
}

void MqttRecorder::onMessage(mosquitto *, void *self, const mosquitto_message *message) {
    auto *recorder = static_cast<MqttRecorder *>(self);
    {
        const std::lock_guard lock(recorder->mutex_);
        recorder->messages_.push_back({message->topic,
                                       std::string(static_cast<const char *>(message->payload),
                                                   static_cast<std::size_t>(message->payloadlen)),
                                       message->retain});
    }
    recorder->changed_.notify_all();
}

bool MqttRecorder::waitSubscribed(std::chrono::seconds deadline) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, deadline, [this] { return subscribed_; });
}

bool MqttRecorder::waitFor(const std::function<bool(const std::vector<Received> &)> &done,
                           std::chrono::seconds deadline) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, deadline, [&] { return done(messages_); });
}

std::vector<Received> MqttRecorder::messages() {
    const std::lock_guard lock(mutex_);
    return messages_;
}

std::vector<Received> MqttRecorder::on(const std::string &suffix) {
    std::vector<Received> found;
    for (Received &message : messages()) {
        if (message.topic.ends_with(suffix)) found.push_back(std::move(message));
    }
    return found;
}

}  // namespace gatewaytest
