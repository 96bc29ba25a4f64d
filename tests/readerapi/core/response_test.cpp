// Copying results out of an answer never reads past the frame nor leaks older bytes, and the
// answer copied is the first that arrived.
#include <gtest/gtest.h>

#include <vector>

#include "link.h"

namespace {

// Response is filled by the link; this test builds one through the same path a link uses,
// by feeding a frame to a loopback transport.
class LoopbackTransport final : public qn::Transport {
  public:
    const qn::TransportProfile &profile() const override { return profile_; }
    bool open() override { return open_ = true; }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    bool write(std::span<const uint8_t> frame) override {
        std::lock_guard lock(mutex_);
        written_.assign(frame.begin(), frame.end());
        pending_ = answer_;
        return true;
    }
    qn::ReadResult read(std::span<uint8_t> buffer, std::chrono::milliseconds) override {
        std::lock_guard lock(mutex_);
        const size_t n = std::min(buffer.size(), pending_.size());
        std::copy_n(pending_.begin(), n, buffer.begin());
        pending_.erase(pending_.begin(), pending_.begin() + long(n));
        return {n ? qn::ReadStatus::Data : qn::ReadStatus::Timeout, n};
    }
    void answerWith(std::vector<uint8_t> answer) { answer_ = std::move(answer); }

  private:
    qn::TransportProfile profile_{qn::TransportKind::Hid,
                                  std::chrono::milliseconds(0),
                                  std::chrono::milliseconds(50),
                                  std::chrono::milliseconds(1),
                                  4096,
                                  256,
                                  true,
                                  false};
    std::mutex mutex_;
    bool open_ = false;
    std::vector<uint8_t> written_, answer_, pending_;
};

std::vector<uint8_t> frameWith(uint8_t command, std::vector<uint8_t> data) {
    std::vector<uint8_t> frame(data.size() + 8);
    frame.resize(qn::buildResponse(0xFF, command, 1, data, frame));
    return frame;
}

TEST(ResponseCopy, ShortAnswerFillsTheRestWithZeros) {
    LoopbackTransport transport;
    qn::PlainCallbacks callbacks;
    qn::Link link(transport, callbacks);
    ASSERT_TRUE(link.open());
    transport.answerWith(frameWith(0xF1, {'O', 'K'}));
    qn::Response response;
    ASSERT_TRUE(link.transact(0xFF, qn::Command::GPRSGetSignal, {}, response));
    std::vector<uint8_t> out(8, 0xCC);
    response.copyData(0, out.size(), out.data());
    EXPECT_EQ(out, (std::vector<uint8_t>{'O', 'K', 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(response.dataSize(), 2u);
    link.close();
}

TEST(ResponseCopy, LengthFieldShorterThanItsHeaderYieldsNoData) {
    LoopbackTransport transport;
    qn::PlainCallbacks callbacks;
    qn::Link link(transport, callbacks);
    ASSERT_TRUE(link.open());
    // "JQ" 00 04 FF 10 01 + checksum: a success without data.
    transport.answerWith(frameWith(0x10, {}));
    qn::Response response;
    ASSERT_TRUE(link.transact(0xFF, qn::Command::GetDeviceSystemInfo, {}, response));
    EXPECT_EQ(response.dataSize(), 0u);
    EXPECT_EQ(response.dataWord(0), 0);
    link.close();
}

// A second answer right behind the first (a reader repeating itself) must not replace the one
// the command is about to take: the first arrival decides.
TEST(ResponseCopy, TheFirstAnswerDecidesWhateverFollowsIt) {
    std::vector<uint8_t> answers = frameWith(0xF1, {'O', 'K'});
    const std::vector<uint8_t> repeated = frameWith(0xF1, {'N', 'O'});
    answers.insert(answers.end(), repeated.begin(), repeated.end());
    for (int round = 0; round < 20; ++round) {
        LoopbackTransport transport;
        qn::PlainCallbacks callbacks;
        qn::Link link(transport, callbacks);
        ASSERT_TRUE(link.open());
        transport.answerWith(answers);
        qn::Response response;
        ASSERT_TRUE(link.transact(0xFF, qn::Command::GPRSGetSignal, {}, response));
        ASSERT_EQ(response.dataWord(0), 'O' << 8 | 'K') << round;
        link.close();
    }
}

}  // namespace
