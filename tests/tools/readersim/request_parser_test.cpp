#include "request_parser.h"

#include <gtest/gtest.h>

#include "sim_test_support.h"

namespace {

using readersim::RequestParser;
using simtest::Bytes;
using simtest::requestFrame;

std::vector<Bytes> parseAll(RequestParser &parser, const Bytes &bytes) {
    std::vector<Bytes> frames;
    parser.feed(bytes, [&](const Bytes &frame) { frames.push_back(frame); });
    return frames;
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes &part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

TEST(RequestParser, FrameFedByteByByteCompletesOnItsChecksum) {
    RequestParser parser;
    const Bytes frame = requestFrame(0x01, {0, 0, 0});
    std::vector<Bytes> frames;
    for (size_t i = 0; i < frame.size(); ++i) {
        parser.feed(std::span(&frame[i], 1), [&](const Bytes &f) { frames.push_back(f); });
        EXPECT_EQ(frames.size(), i + 1 == frame.size() ? 1u : 0u);
    }
    EXPECT_EQ(frames.front(), frame);
}

TEST(RequestParser, GarbageBeforeAndBetweenFramesIsSkipped) {
    RequestParser parser;
    const Bytes a = requestFrame(0x10), b = requestFrame(0x20);
    const auto frames = parseAll(parser, concat({{0x00, 0x5A, 0x5A, 0x13}, a, {0x4B, 0xFF}, b}));
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0], a);
    EXPECT_EQ(frames[1], b);
}

TEST(RequestParser, RepeatedZStillStartsAHeader) {
    RequestParser parser;
    const Bytes frame = requestFrame(0x10);
    EXPECT_EQ(parseAll(parser, concat({{0x5A}, frame})).size(), 1u);
}

TEST(RequestParser, BadChecksumIsCountedAndAFrameInsideItIsFound) {
    RequestParser parser;
    Bytes broken = requestFrame(0x02, Bytes(20, 0x11));
    const Bytes inner = requestFrame(0x10);
    // The broken frame's body carries a whole valid frame; its own checksum is wrong.
    std::copy(inner.begin(), inner.end(), broken.begin() + 8);
    broken.back() ^= 0xFF;
    const auto frames = parseAll(parser, broken);
    EXPECT_EQ(parser.checksumErrors(), 1u);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0], inner);
}

TEST(RequestParser, ImpossibleLengthsAreAbandonedAfterTheLengthField) {
    RequestParser parser;
    const Bytes next = requestFrame(0x10);
    // Length 2 cannot hold address, command and checksum; 0x0700 exceeds any request.
    const Bytes tooShort{0x5A, 0x4B, 0x00, 0x02};
    const Bytes tooLong{0x5A, 0x4B, 0x07, 0x00};
    const auto frames = parseAll(parser, concat({tooShort, tooLong, next}));
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0], next);
}

TEST(RequestParser, LargestRequestIsAccepted) {
    RequestParser parser;
    const Bytes frame = requestFrame(0x4B, Bytes(1553, 0x77));
    ASSERT_EQ(frame.size(), 1560u);
    EXPECT_EQ(parseAll(parser, frame).size(), 1u);
}

TEST(RequestParser, DecodeSplitsFields) {
    const auto request = readersim::decodeRequest(requestFrame(0x24, {3, 9}, 0x07));
    ASSERT_TRUE(request);
    EXPECT_EQ(request->address, 0x07);
    EXPECT_EQ(request->command, 0x24);
    EXPECT_EQ(request->data, (Bytes{3, 9}));
    Bytes truncated = requestFrame(0x24, {3, 9});
    truncated.pop_back();
    EXPECT_FALSE(readersim::decodeRequest(truncated));
}

}  // namespace
