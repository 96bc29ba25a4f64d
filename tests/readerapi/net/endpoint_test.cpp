// Which address texts and ports the TCP library accepts before it touches the network.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include "net_transport.h"

namespace {

TEST(ParseEndpoint, DottedIpv4TextAndPortGiveTheEndpoint) {
    const auto endpoint = qn::parseEndpoint("192.168.1.100", 6000);
    ASSERT_TRUE(endpoint.has_value());
    EXPECT_EQ(endpoint->sin_family, AF_INET);
    EXPECT_EQ(ntohs(endpoint->sin_port), 6000);
    EXPECT_EQ(ntohl(endpoint->sin_addr.s_addr), 0xC0A80164u);
}

TEST(ParseEndpoint, LongestDottedFormIsAccepted) {
    EXPECT_TRUE(qn::parseEndpoint("255.255.255.255", 1).has_value());
}

TEST(ParseEndpoint, PortZeroFails) {
    EXPECT_FALSE(qn::parseEndpoint("127.0.0.1", 0));
}

TEST(ParseEndpoint, MissingTextFails) {
    EXPECT_FALSE(qn::parseEndpoint(nullptr, 6000));
}

class ParseEndpointRejects : public ::testing::TestWithParam<const char *> {};

TEST_P(ParseEndpointRejects, TextThatIsNotDottedIpv4) {
    EXPECT_FALSE(qn::parseEndpoint(GetParam(), 6000).has_value());
}

INSTANTIATE_TEST_SUITE_P(BadText, ParseEndpointRejects,
                         ::testing::Values("", "localhost", "reader.example", "1.2.3", "1.2.3.4.5",
                                           "256.1.1.1", " 127.0.0.1", "127.0.0.1 ",
                                           "127.0.0.1:6000", "::1", "0x7f.0.0.1",
                                           "1234567890123456789012345678901234567890"));

}  // namespace
