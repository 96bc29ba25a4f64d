#include "tcp_cut.h"

#include <array>
#include <asio.hpp>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

namespace gatewaytest {

using asio::ip::tcp;

namespace {

// Copies one direction of a relayed connection until either side ends.
void pump(std::shared_ptr<tcp::socket> from, std::shared_ptr<tcp::socket> to,
          std::shared_ptr<std::array<char, 16384>> buffer) {
    from->async_read_some(asio::buffer(*buffer), [=](asio::error_code error, std::size_t size) {
        if (error) {
            asio::error_code ignored;
            to->close(ignored);
            return;
        }
        asio::async_write(*to, asio::buffer(*buffer, size),
                          [=](asio::error_code writeError, std::size_t) {
                              if (writeError) {
                                  asio::error_code ignored;
                                  from->close(ignored);
                                  return;
                              }
                              pump(from, to, buffer);
                          });
    });
}

}  // namespace

struct TcpCut::Impl {
    asio::io_context io;
    asio::executor_work_guard<asio::io_context::executor_type> work{io.get_executor()};
    tcp::endpoint listenAt;
    tcp::endpoint target;
    std::unique_ptr<tcp::acceptor> acceptor;
    bool isCut = false;  // connections are taken and reset at once
    std::vector<std::weak_ptr<tcp::socket>> sockets;
    std::thread thread;

    void open() {
        acceptor = std::make_unique<tcp::acceptor>(
            io, tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0));
        listenAt = acceptor->local_endpoint();
        accept();
    }

    void accept() {
        acceptor->async_accept([this](asio::error_code error, tcp::socket socket) {
            if (error) return;
            auto client = std::make_shared<tcp::socket>(std::move(socket));
            auto server = std::make_shared<tcp::socket>(io);
            asio::error_code failed;
            if (isCut) {
                reset(*client);
            } else {
                server->connect(target, failed);
            }
            if (!isCut && !failed) {
                sockets.push_back(client);
                sockets.push_back(server);
                pump(client, server, std::make_shared<std::array<char, 16384>>());
                pump(server, client, std::make_shared<std::array<char, 16384>>());
            }
            accept();
        });
    }

    static void reset(tcp::socket &socket) {
        asio::error_code ignored;
        socket.set_option(asio::socket_base::linger(true, 0), ignored);
        socket.close(ignored);
    }

    // Runs `action` on the relay's thread and waits for it.
    void onThread(const std::function<void()> &action) {
        std::promise<void> done;
        asio::post(io, [&] {
            action();
            done.set_value();
        });
        done.get_future().wait();
    }
};

TcpCut::TcpCut(std::uint16_t target) : impl_(std::make_unique<Impl>()) {
    impl_->target = tcp::endpoint(asio::ip::make_address("127.0.0.1"), target);
    impl_->open();
    impl_->thread = std::thread([this] { impl_->io.run(); });
}

TcpCut::~TcpCut() {
    cut();
    impl_->work.reset();
    impl_->io.stop();
    impl_->thread.join();
}

std::uint16_t TcpCut::port() const {
    return impl_->listenAt.port();
}

void TcpCut::cut() {
    impl_->onThread([this] {
        impl_->isCut = true;
        for (auto &weak : impl_->sockets) {
            if (auto socket = weak.lock()) Impl::reset(*socket);
        }
        impl_->sockets.clear();
    });
}

void TcpCut::restore() {
    impl_->onThread([this] { impl_->isCut = false; });
}

}  // namespace gatewaytest
