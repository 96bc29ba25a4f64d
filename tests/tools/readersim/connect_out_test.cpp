// The reader connecting out: a plain listener here plays the host's server.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>

#include "loopback_socket.h"
#include "sim_test_support.h"
#include "virtual_reader.h"

namespace {

using namespace simtest;

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
    const auto server = testsupport::LoopbackSocket::listening(4);
    readersim::VirtualReader reader;
    reader.connectTo("127.0.0.1", server.port());
    const testsupport::LoopbackSocket first = server.acceptOne();
    ASSERT_TRUE(first.valid());
    const Bytes request = requestFrame(0x10);
    ASSERT_TRUE(first.sendAll(request.data(), request.size()));
    const auto answer = nextFrame(first.fd());
    ASSERT_TRUE(answer);
    EXPECT_EQ(commandOf(*answer), 0x10);
    EXPECT_EQ(statusOf(*answer), 1);

    reader.unplug();
    EXPECT_FALSE(nextFrame(first.fd()));  // the reader ended the connection
    reader.replug();
    {
        const testsupport::LoopbackSocket second = server.acceptOne();
        ASSERT_TRUE(second.valid());
    }  // the server goes away: the reader comes back by itself
    EXPECT_TRUE(server.acceptOne().valid());
}

}  // namespace
