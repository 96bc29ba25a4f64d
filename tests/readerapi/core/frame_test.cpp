// The frame codec and the byte-wise receive parser against literal byte vectors.
#include <gtest/gtest.h>

#include <vector>

#include "frame.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes response(uint8_t command, uint8_t status, const Bytes &data, uint8_t address = 0xFF) {
    Bytes frame(data.size() + 8);
    frame.resize(qn::buildResponse(address, command, status, data, frame));
    return frame;
}

// Feeds bytes one by one; returns the indexes of the bytes that completed a frame.
std::vector<size_t> feedAll(qn::ReceiveParser &parser, const Bytes &bytes) {
    std::vector<size_t> completed;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (parser.feed(bytes[i])) {
            completed.push_back(i);
            parser.clearFrameReady();
        }
    }
    return completed;
}

// Feeds bytes one by one and then what the parser queued for replay; returns the frames
// delivered, in order.
std::vector<Bytes> framesOf(qn::ReceiveParser &parser, const Bytes &bytes) {
    std::vector<Bytes> frames;
    const auto take = [&] {
        frames.emplace_back(parser.frame(), parser.frame() + parser.frameSize());
        parser.clearFrameReady();
    };
    for (uint8_t b : bytes) {
        if (parser.feed(b)) take();
    }
    while (parser.resume()) take();
    return frames;
}

Bytes joined(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes &part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

TEST(FrameCodec, RequestWithoutDataIsSevenBytesWithLengthThree) {
    uint8_t out[qn::kRequestBufferSize];
    const size_t size = qn::buildRequest(0xFF, 0x10, {}, out);
    EXPECT_EQ(Bytes(out, out + size), (Bytes{0x5A, 0x4B, 0x00, 0x03, 0xFF, 0x10, 0x49}));
}

TEST(FrameCodec, WholeRequestSumsToZero) {
    const Bytes data{1, 2, 3, 0xFE};
    uint8_t out[qn::kRequestBufferSize];
    const size_t size = qn::buildRequest(0x05, 0x21, data, out);
    ASSERT_EQ(size, 11u);
    EXPECT_EQ(out[3], 7);
    EXPECT_EQ(qn::checksum({out, size - 1}), out[size - 1]);
    uint8_t sum = 0;
    for (size_t i = 0; i < size; ++i) sum = uint8_t(sum + out[i]);
    EXPECT_EQ(sum, 0);
}

TEST(FrameCodec, RequestDataLimitIs1553Bytes) {
    uint8_t out[qn::kRequestBufferSize];
    const Bytes longest(1553, 0xAA);
    EXPECT_EQ(qn::buildRequest(0xFF, 0x4B, longest, out), 1560u);
    const Bytes tooLong(1554, 0xAA);
    EXPECT_EQ(qn::buildRequest(0xFF, 0x4B, tooLong, out), 0u);
}

TEST(ReceiveParser, ResponseWithoutDataCompletesAfterEightBytes) {
    qn::ReceiveParser parser;
    const Bytes frame = response(0x10, 0x01, {});
    ASSERT_EQ(frame.size(), 8u);
    EXPECT_EQ(feedAll(parser, frame), std::vector<size_t>{7});
}

TEST(ReceiveParser, KeepsTheFrameWithItsChecksum) {
    qn::ReceiveParser parser;
    const Bytes frame = response(0x2B, 0x01, {26, 12, 8, 1, 2, 3});
    bool done = false;
    for (uint8_t b : frame) done = parser.feed(b);
    ASSERT_TRUE(done);
    EXPECT_EQ(parser.count(), int(frame.size()) - 1);
    EXPECT_EQ(Bytes(parser.frame(), parser.frame() + parser.frameSize()), frame);
}

// After a false header the parser looks again from the byte after its 'J', so a frame behind
// noise is delivered, once, whatever the noise made of the bytes in front of it.
TEST(ReceiveParser, ResynchronisesAfterAFalseHeader) {
    const Bytes frame = response(0x10, 0x01, {1, 2, 3});
    const Bytes other = response(0x2B, 0x01, {26, 12, 8});
    Bytes badChecksum = response(0x23, 0x01, {4, 5});
    badChecksum.back() ^= 0x01;
    struct Case {
        const char *name;
        Bytes bytes;
        std::vector<Bytes> frames;
        uint32_t checksumErrors;
    };
    const std::vector<Case> cases{
        {"lone J before the header", joined({{0x4A}, frame}), {frame}, 0},
        {"three J before the header", joined({{0x4A, 0x4A, 0x4A}, frame}), {frame}, 0},
        {"bad checksum, then a frame", joined({badChecksum, frame}), {frame}, 1},
        // A false length of 6 swallows the frame's first bytes as its body and one of them as
        // its checksum.
        {"frame inside a false one", joined({{0x4A, 0x51, 0x00, 0x06, 0xFF}, frame}), {frame}, 1},
        {"two frames inside a long false one",
         joined({{0x4A, 0x51, 0x00, 0x30, 0xFF}, frame, other, Bytes(40, 0x00)}),
         {frame, other},
         1},
        {"impossible length, then a frame", joined({{0x4A, 0x51, 0x06, 0x19}, frame}), {frame}, 0},
        {"impossible length right before the header",
         joined({{0x4A, 0x51, 0xFF}, frame}),  // the frame's 'J' is the low length byte
         {frame},
         0},
        {"frame after a frame", joined({frame, {0x4A}, other}), {frame, other}, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        qn::ReceiveParser parser;
        const uint32_t before = qn::ReceiveParser::checksumErrors();
        EXPECT_EQ(framesOf(parser, c.bytes), c.frames);
        EXPECT_EQ(qn::ReceiveParser::checksumErrors() - before, c.checksumErrors);
        EXPECT_FALSE(parser.hasBacklog());
    }
}

TEST(ReceiveParser, LengthAbove1560AbandonsTheFrameAfterItsLengthBytes) {
    qn::ReceiveParser parser;
    for (uint8_t b : Bytes{0x4A, 0x51, 0x06, 0x19}) parser.feed(b);
    EXPECT_EQ(parser.state(), 0);
    qn::ReceiveParser accepting;
    for (uint8_t b : Bytes{0x4A, 0x51, 0x06, 0x18}) accepting.feed(b);
    EXPECT_EQ(accepting.state(), 4);
}

TEST(ReceiveParser, LengthFieldsZeroToTwoMakeSixByteFrames) {
    for (uint8_t length : {0, 1, 2}) {
        qn::ReceiveParser parser;
        Bytes frame{0x4A, 0x51, 0x00, length, 0xFF};
        frame.push_back(qn::checksum(frame));
        EXPECT_EQ(feedAll(parser, frame), std::vector<size_t>{5}) << "length " << int(length);
    }
    qn::ReceiveParser parser;
    Bytes three{0x4A, 0x51, 0x00, 0x03, 0xFF, 0x10};
    three.push_back(qn::checksum(three));
    EXPECT_EQ(feedAll(parser, three), std::vector<size_t>{6});
}

TEST(ReceiveParser, BadChecksumDropsTheFrameCountsItAndRecovers) {
    qn::ReceiveParser parser;
    Bytes bad = response(0x10, 0x01, {1, 2, 3});
    bad.back() ^= 0x01;
    const uint32_t before = qn::ReceiveParser::checksumErrors();
    EXPECT_TRUE(feedAll(parser, bad).empty());
    EXPECT_EQ(qn::ReceiveParser::checksumErrors(), before + 1);
    EXPECT_EQ(parser.state(), 0);
    EXPECT_EQ(feedAll(parser, response(0x10, 0x01, {1, 2, 3})).size(), 1u);
}

TEST(ReceiveParser, GarbageBetweenFramesIsSkipped) {
    qn::ReceiveParser parser;
    Bytes bytes{0x00, 0x51, 0x4A, 0x00, 0x13};
    const Bytes frame = response(0x01, 0x01, {0, 0});
    bytes.insert(bytes.end(), frame.begin(), frame.end());
    EXPECT_EQ(feedAll(parser, bytes).size(), 1u);
}

TEST(PendingInput, TwoFramesInOneReadAreDeliveredInTwoPasses) {
    qn::ReceiveParser parser;
    qn::PendingInput pending(256);
    Bytes bytes = response(0x10, 0x01, {9});
    const Bytes second = response(0x2D, 0x01, {7});
    bytes.insert(bytes.end(), second.begin(), second.end());
    std::copy(bytes.begin(), bytes.end(), pending.writePosition());
    pending.commit(bytes.size());

    ASSERT_TRUE(pending.pass(parser));
    EXPECT_EQ(parser.frame()[5], 0x10);
    EXPECT_EQ(pending.size(), second.size());
    parser.clearFrameReady();

    ASSERT_TRUE(pending.pass(parser));
    EXPECT_EQ(parser.frame()[5], 0x2D);
    EXPECT_EQ(pending.size(), 0u);
}

TEST(PendingInput, FramesFoundAgainAfterAFalseHeaderAreDeliveredOnePerPass) {
    qn::ReceiveParser parser;
    qn::PendingInput pending(256);
    const Bytes first = response(0x10, 0x01, {9});
    const Bytes second = response(0x2D, 0x01, {7});
    const Bytes bytes = joined({{0x4A, 0x51, 0x00, 0x20, 0xFF}, first, second, Bytes(24, 0x00)});
    std::copy(bytes.begin(), bytes.end(), pending.writePosition());
    pending.commit(bytes.size());
    for (const Bytes &expected : {first, second}) {
        ASSERT_TRUE(pending.hasUnparsed(parser));
        ASSERT_TRUE(pending.pass(parser));
        EXPECT_EQ(Bytes(parser.frame(), parser.frame() + parser.frameSize()), expected);
        parser.clearFrameReady();
    }
    EXPECT_FALSE(pending.pass(parser));
    EXPECT_FALSE(pending.hasUnparsed(parser));
}

TEST(PendingInput, PartialFrameIsCarriedByTheParserAcrossPasses) {
    qn::ReceiveParser parser;
    qn::PendingInput pending(64);
    const Bytes frame = response(0x10, 0x01, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    std::copy(frame.begin(), frame.begin() + 5, pending.writePosition());
    pending.commit(5);
    EXPECT_FALSE(pending.pass(parser));
    EXPECT_EQ(pending.size(), 0u);
    std::copy(frame.begin() + 5, frame.end(), pending.writePosition());
    pending.commit(frame.size() - 5);
    EXPECT_TRUE(pending.pass(parser));
}

}  // namespace
