// The reader connecting out: a plain listener here plays the host's server.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "sim_test_support.h"
#include "virtual_reader.h"

namespace {

using namespace simtest;

class Listener {
public:
    Listener() {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(fd_, reinterpret_cast<sockaddr *>(&address), length);
        ::listen(fd_, 4);
        ::getsockname(fd_, reinterpret_cast<sockaddr *>(&address), &length);
        port_ = ntohs(address.sin_port);
    }
    ~Listener() { ::close(fd_); }
    uint16_t port() const { return port_; }
    // The next connection, or -1 when none came before the deadline.
    int accept() const {
        pollfd entry{fd_, POLLIN, 0};
        if (::poll(&entry, 1, static_cast<int>(kDeadline.count())) <= 0) return -1;
        return ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
    }

private:
    int fd_ = -1;
    uint16_t port_ = 0;
};

// The next whole response frame on fd, or nothing at the end of the stream or the deadline.
std::optional<Bytes> nextFrame(int fd) {
    qn::ReceiveParser parser;
    pollfd entry{fd, POLLIN, 0};
    while (::poll(&entry, 1, static_cast<int>(kDeadline.count())) > 0) {
        uint8_t byte = 0;
        if (::recv(fd, &byte, 1, 0) != 1) return std::nullopt;
        if (parser.feed(byte)) return Bytes(parser.frame(), parser.frame() + parser.frameSize());
    }
    return std::nullopt;
}

TEST(ConnectOut, AnswersRequestsReconnectsAndFollowsUnplug) {
    Listener server;
    readersim::VirtualReader reader;
    reader.connectTo("127.0.0.1", server.port());
    const int first = server.accept();
    ASSERT_GE(first, 0);
    const Bytes request = requestFrame(0x10);
    ASSERT_EQ(::send(first, request.data(), request.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(request.size()));
    const auto answer = nextFrame(first);
    ASSERT_TRUE(answer);
    EXPECT_EQ(commandOf(*answer), 0x10);
    EXPECT_EQ(statusOf(*answer), 1);

    reader.unplug();
    EXPECT_FALSE(nextFrame(first));  // the reader ended the connection
    ::close(first);
    reader.replug();
    const int second = server.accept();
    ASSERT_GE(second, 0);

    ::close(second);  // the server goes away: the reader comes back by itself
    const int third = server.accept();
    EXPECT_GE(third, 0);
    ::close(third);
}

}  // namespace
