#include "metrics.h"

#include <array>
#include <asio.hpp>
#include <thread>

#include "listening_socket.h"
#include "log.h"

namespace gateway {

namespace {

using asio::ip::tcp;

constexpr std::size_t kLongestRequest = 8192;
constexpr auto kRequestTimeout = std::chrono::seconds(10);
constexpr const char *kPrefix = "tagbench_gateway_";

void family(std::string &text, const std::string &name, const char *type, const char *help) {
    text += std::string("# HELP ") + kPrefix + name + " " + help + "\n";
    text += std::string("# TYPE ") + kPrefix + name + " " + type + "\n";
}

void sample(std::string &text, const std::string &name, std::uint64_t value,
            const std::string &labels = {}) {
    text += kPrefix + name + (labels.empty() ? "" : "{" + labels + "}") + " " +
            std::to_string(value) + "\n";
}

std::string outputLabel(const Output &output) {
    return "output=\"" + output.name() + "\"";
}

// The reason the gateway is unhealthy, or empty.
std::string unhealthy(const Hub &hub) {
    for (const auto &output : hub.outputs()) {
        if (const OutputHealth health = output->health(); !health.healthy) return health.reason;
        if (output->ended()) return output->name() + " ended";
    }
    return {};
}

std::string response(int status, const char *reason, const char *type, const std::string &body) {
    return "HTTP/1.1 " + std::to_string(status) + " " + reason + "\r\nContent-Type: " + type +
           "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" +
           body;
}

}  // namespace

std::string metricsText(Hub &hub, Store &store) {
    std::string text;
    family(text, "reports_received_total", "counter",
           "Reader reports and inventory results received.");
    sample(text, "reports_received_total", hub.reports());
    family(text, "messages_received_total", "counter", "Tag messages kept for the outputs.");
    sample(text, "messages_received_total", hub.received());
    const auto &outputs = hub.outputs();
    family(text, "messages_published_total", "counter", "Tag messages an output delivered.");
    for (const auto &output : outputs) {
        sample(text, "messages_published_total", output->published(), outputLabel(*output));
    }
    family(text, "messages_failed_total", "counter",
           "Tag messages whose delivery failed once and was tried again.");
    for (const auto &output : outputs) {
        sample(text, "messages_failed_total", output->failed(), outputLabel(*output));
    }
    family(text, "messages_waiting", "gauge", "Tag messages an output has not delivered yet.");
    for (const auto &output : outputs) {
        sample(text, "messages_waiting", store.waiting(output->bit()), outputLabel(*output));
    }
    family(text, "messages_dropped_total", "counter",
           "Tag messages dropped because the queue or spool was full.");
    sample(text, "messages_dropped_total", store.dropped());
    const StoreDepth depth = store.depth();
    family(text, "queue_messages", "gauge", "Tag messages in the queue or spool.");
    sample(text, "queue_messages", depth.messages);
    family(text, "queue_bytes", "gauge", "Bytes the queue or spool holds for its bound.");
    sample(text, "queue_bytes", depth.bytes);
    family(text, "spool_replayed_total", "counter", "Tag messages found in the spool at start.");
    sample(text, "spool_replayed_total", store.replayed());
    family(text, "readers_online", "gauge", "Readers connected or open now.");
    sample(text, "readers_online", hub.readersOnline());
    family(text, "delivery_latency_seconds", "histogram",
           "Time from receiving a report to an output delivering its message.");
    for (const auto &output : outputs) {
        text += output->latency().exposition(std::string(kPrefix) + "delivery_latency_seconds",
                                             outputLabel(*output));
    }
    return text;
}

struct MetricsServer::Impl {
    Impl(Hub &hub, Store &store) : hub(hub), store(store), acceptor(io) {}

    void accept() {
        acceptor.async_accept([this](asio::error_code error, tcp::socket socket) {
            if (error == asio::error::operation_aborted) return;
            if (!error) serve(std::make_shared<tcp::socket>(std::move(socket)));
            accept();
        });
    }

    // Reads the request head (bounded in size and time), answers, closes.
    void serve(std::shared_ptr<tcp::socket> socket) {
        auto request = std::make_shared<std::string>();
        auto timer = std::make_shared<asio::steady_timer>(io, kRequestTimeout);
        timer->async_wait([socket](asio::error_code error) {
            if (!error) socket->close();
        });
        read(socket, request, timer);
    }

    void read(std::shared_ptr<tcp::socket> socket, std::shared_ptr<std::string> request,
              std::shared_ptr<asio::steady_timer> timer) {
        auto buffer = std::make_shared<std::array<char, 1024>>();
        socket->async_read_some(
            asio::buffer(*buffer), [=, this](asio::error_code error, std::size_t size) {
                if (error) return;
                request->append(buffer->data(), size);
                if (request->find("\r\n\r\n") == std::string::npos &&
                    request->size() < kLongestRequest) {
                    read(socket, request, timer);
                    return;
                }
                auto answer = std::make_shared<std::string>(answerTo(*request));
                asio::async_write(*socket, asio::buffer(*answer),
                                  [socket, answer, timer](asio::error_code, std::size_t) {
                                      asio::error_code ignored;
                                      socket->shutdown(tcp::socket::shutdown_both, ignored);
                                      socket->close(ignored);
                                      timer->cancel();
                                  });
            });
    }

    std::string answerTo(const std::string &request) {
        const std::string line = request.substr(0, request.find("\r\n"));
        if (line.starts_with("GET /metrics ")) {
            return response(200, "OK", "text/plain; version=0.0.4; charset=utf-8",
                            metricsText(hub, store));
        }
        if (line.starts_with("GET /healthz ")) {
            const std::string reason = unhealthy(hub);
            return reason.empty()
                       ? response(200, "OK", "text/plain", "ok\n")
                       : response(503, "Service Unavailable", "text/plain", reason + "\n");
        }
        return response(404, "Not Found", "text/plain", "/metrics or /healthz\n");
    }

    Hub &hub;
    Store &store;
    asio::io_context io;
    tcp::acceptor acceptor;
    std::thread thread;
};

MetricsServer::MetricsServer(Hub &hub, Store &store) : impl_(std::make_unique<Impl>(hub, store)) {}

MetricsServer::~MetricsServer() {
    if (!impl_->thread.joinable()) return;
    impl_->io.stop();
    impl_->thread.join();
}

bool MetricsServer::start(const std::string &where, std::string &error) {
    tcp::acceptor &acceptor = impl_->acceptor;
    if (!openListeningSocket(acceptor, where, "127.0.0.1", error)) {
        error = "--metrics " + where + ": " + error;
        return false;
    }
    const tcp::endpoint bound = acceptor.local_endpoint();
    log::line("metrics on http://" + bound.address().to_string() + ":" +
              std::to_string(bound.port()) + "/metrics");
    impl_->accept();
    impl_->thread = std::thread([this] { impl_->io.run(); });
    return true;
}

}  // namespace gateway
