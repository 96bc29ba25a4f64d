#include "http_endpoint.h"

#include <algorithm>
#include <asio.hpp>
#include <cctype>

namespace gatewaytest {

using asio::ip::tcp;

struct HttpEndpoint::Impl {
    asio::io_context io;
    tcp::acceptor acceptor{io, tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0)};
};

namespace {

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

// The value of a header line, empty when the head has none.
std::string headerValue(const std::string &head, const std::string &name) {
    const std::string lower = lowerCase(head);
    const auto at = lower.find("\r\n" + name + ":");
    if (at == std::string::npos) return {};
    const auto start = head.find_first_not_of(' ', at + name.size() + 3);
    return head.substr(start, head.find("\r\n", start) - start);
}

}  // namespace

HttpEndpoint::HttpEndpoint(int failures)
    : impl_(std::make_unique<Impl>()), failuresLeft_(failures) {
    thread_ = std::thread([this] { serve(); });
}

HttpEndpoint::~HttpEndpoint() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    {
        // Wakes the accept with a connection of our own, closed at once.
        asio::error_code ignored;
        tcp::socket wake(impl_->io);
        wake.connect(impl_->acceptor.local_endpoint(), ignored);
    }
    thread_.join();
}

std::string HttpEndpoint::url() const {
    return "http://127.0.0.1:" + std::to_string(impl_->acceptor.local_endpoint().port()) + "/tags";
}

void HttpEndpoint::serve() {
    for (;;) {
        {
            const std::lock_guard lock(mutex_);
            if (stopping_) return;
        }
        answer(*impl_);
    }
}

void HttpEndpoint::answer(Impl &impl) {
    asio::error_code error;
    tcp::socket socket(impl.io);
    impl.acceptor.accept(socket, error);
    if (error) return;
    asio::streambuf input;
    const std::size_t headSize = asio::read_until(socket, input, "\r\n\r\n", error);
    if (error) return;
    std::string received(asio::buffers_begin(input.data()), asio::buffers_end(input.data()));
    const std::string head = received.substr(0, headSize);
    std::string body = received.substr(headSize);
    const std::string length = headerValue(head, "content-length");
    const std::size_t bodySize = length.empty() ? 0 : std::stoul(length);
    if (body.size() < bodySize) {
        std::string rest(bodySize - body.size(), '\0');
        asio::read(socket, asio::buffer(rest), error);
        body += rest;
    }
    bool refuse = false;
    {
        const std::lock_guard lock(mutex_);
        if (stopping_) return;
        refuse = failuresLeft_ > 0;
        if (refuse) {
            --failuresLeft_;
            ++refused_;
        } else {
            accepted_.push_back(
                {headerValue(head, "content-type"), body, headerValue(head, "authorization")});
        }
    }
    changed_.notify_all();
    const std::string reply =
        refuse ? "HTTP/1.1 503 Service Unavailable\r\n" : "HTTP/1.1 200 OK\r\n";
    asio::write(socket, asio::buffer(reply + "Content-Length: 0\r\nConnection: close\r\n\r\n"),
                error);
}

std::vector<Post> HttpEndpoint::accepted() {
    const std::lock_guard lock(mutex_);
    return accepted_;
}

int HttpEndpoint::refused() {
    const std::lock_guard lock(mutex_);
    return refused_;
}

bool HttpEndpoint::waitFor(const std::function<bool(const std::vector<Post> &)> &done,
                           std::chrono::seconds deadline) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, deadline, [&] { return done(accepted_); });
}

}  // namespace gatewaytest
