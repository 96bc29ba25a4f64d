#include "listener.h"

#include <array>
#include <asio.hpp>
#include <chrono>
#include <cstdint>
#include <memory>

#include "QnReader.h"
#include "hex_text.h"
#include "listening_socket.h"
#include "log.h"
#include "tag_text.h"

namespace gateway {

namespace {

constexpr std::size_t kGarbageLimit = 64 * 1024;
constexpr auto kSilenceLimit = std::chrono::minutes(1);
constexpr std::size_t kReceiveSize = 4096;
// Report data: 7 serial number bytes and the tag count before the records.
constexpr std::size_t kReportHead = 8;

using asio::ip::tcp;

class Connection : public std::enable_shared_from_this<Connection> {
  public:
    Connection(tcp::socket socket, Hub &hub)
        : socket_(std::move(socket)), timer_(socket_.get_executor()), hub_(hub) {
        asio::error_code ignored;
        const tcp::endpoint peer = socket_.remote_endpoint(ignored);
        peer_ = peer.address().to_string() + ":" + std::to_string(peer.port());
    }

    void start() {
        log::line("reader connected from " + peer_);
        if (!scanner_) {
            drop("no memory for its frames");
            return;
        }
        lastFrame_ = std::chrono::steady_clock::now();
        socket_.set_option(asio::socket_base::keep_alive(true));
        watchSilence();
        receive();
    }

    void close() {
        asio::error_code ignored;
        socket_.close(ignored);
        timer_.cancel();
    }

  private:
    void receive() {
        socket_.async_read_some(
            asio::buffer(buffer_),
            [self = shared_from_this()](asio::error_code error, std::size_t size) {
                self->received(error, size);
            });
    }

    void received(asio::error_code error, std::size_t size) {
        if (error) {
            ended(error == asio::error::eof ? "closed the connection" : error.message());
            return;
        }
        const std::uint8_t *bytes = buffer_.data();
        while (size > 0) {
            std::size_t taken = 0;
            QnFrame frame;
            if (QnReader_ScanFrame(scanner_.get(), bytes, size, &taken, &frame)) {
                bytesWithoutFrame_ = 0;
                lastFrame_ = std::chrono::steady_clock::now();
                take(frame);
            } else if ((bytesWithoutFrame_ += taken) >= kGarbageLimit) {
                drop("sent 64 KiB without a valid frame");
                return;
            }
            bytes += taken;
            size -= taken;
        }
        receive();
    }

    void take(const QnFrame &frame) {
        if (frame.command != QN_COMMAND_ACTIVE_REPORT || frame.dataSize < kReportHead) {
            hub_.ignoredFrame();
            return;
        }
        const std::span<const std::uint8_t, 7> serial(frame.data, 7);
        const std::span records(frame.data + kReportHead, frame.dataSize - kReportHead);
        const std::string reader = hextext::compact(serial);
        auto sightings = tagtext::reportSightings(reader, records, frame.length);
        if (reader != reader_) {
            if (!reader_.empty()) hub_.readerDown(reader_);
            reader_ = reader;
            hub_.readerUp(reader_);
        }
        hub_.report(sightings);
    }

    void watchSilence() {
        timer_.expires_at(lastFrame_ + kSilenceLimit);
        timer_.async_wait([self = shared_from_this()](asio::error_code error) {
            if (error || !self->socket_.is_open()) return;
            if (std::chrono::steady_clock::now() - self->lastFrame_ >= kSilenceLimit) {
                self->drop("sent no valid frame for a minute");
            } else {
                self->watchSilence();
            }
        });
    }

    void drop(const std::string &reason) {
        log::line("dropped " + peer_ + ": " + reason);
        close();
    }

    void ended(const std::string &reason) {
        if (socket_.is_open()) log::line("reader " + peer_ + " went away: " + reason);
        close();
        if (!reader_.empty()) hub_.readerDown(reader_);
        reader_.clear();
    }

    tcp::socket socket_;
    asio::steady_timer timer_;
    Hub &hub_;
    std::string peer_;
    std::string reader_;  // serial number from the reports, once one came
    std::array<std::uint8_t, kReceiveSize> buffer_{};
    std::unique_ptr<QnFrameScanner, decltype(&QnReader_FreeFrameScanner)> scanner_{
        QnReader_NewFrameScanner(), &QnReader_FreeFrameScanner};
    std::size_t bytesWithoutFrame_ = 0;
    std::chrono::steady_clock::time_point lastFrame_;
};

}  // namespace

struct Listener::Impl {
    explicit Impl(Hub &hub) : hub(hub) {}

    void accept(tcp::acceptor &acceptor) {
        acceptor.async_accept([this, &acceptor](asio::error_code error, tcp::socket socket) {
            if (error == asio::error::operation_aborted) return;
            if (!error) {
                auto connection = std::make_shared<Connection>(std::move(socket), hub);
                connections.push_back(connection);
                connection->start();
            } else {
                log::line("accept failed: " + error.message());
            }
            std::erase_if(connections, [](const auto &weak) { return weak.expired(); });
            accept(acceptor);
        });
    }

    Hub &hub;
    asio::io_context io;
    std::vector<std::unique_ptr<tcp::acceptor>> acceptors;
    std::vector<std::weak_ptr<Connection>> connections;
    std::thread thread;
};

Listener::Listener(Hub &hub) : impl_(std::make_unique<Impl>(hub)) {}

Listener::~Listener() {
    stop();
}

bool Listener::listen(const std::string &where, std::string &error) {
    auto acceptor = std::make_unique<tcp::acceptor>(impl_->io);
    if (!openListeningSocket(*acceptor, where, "0.0.0.0", error)) {
        error = "cannot listen on " + where + ": " + error;
        return false;
    }
    const tcp::endpoint bound = acceptor->local_endpoint();
    log::line("listening on " + bound.address().to_string() + ":" + std::to_string(bound.port()));
    impl_->acceptors.push_back(std::move(acceptor));
    return true;
}

void Listener::start() {
    for (auto &acceptor : impl_->acceptors) impl_->accept(*acceptor);
    impl_->thread = std::thread([this] { impl_->io.run(); });
}

void Listener::stop() {
    if (!impl_->thread.joinable()) return;
    asio::post(impl_->io, [this] {
        for (auto &acceptor : impl_->acceptors) acceptor->close();
        for (auto &weak : impl_->connections) {
            if (auto connection = weak.lock()) connection->close();
        }
    });
    impl_->thread.join();
}

}  // namespace gateway
