#include "answer_shaper.h"

#include <gtest/gtest.h>

#include "sim_test_support.h"

namespace {

using readersim::AnswerShaper;
using readersim::Faults;
using simtest::Bytes;

Bytes answerFrame(uint8_t command, const Bytes &data = {1, 2, 3}) {
    Bytes frame(data.size() + 8);
    qn::buildResponse(0x01, command, 1, data, frame);
    return frame;
}

TEST(AnswerShaper, NoFaultsSendsTheAnswerAsItIs) {
    AnswerShaper shaper;
    Bytes held;
    const Bytes answer = answerFrame(0x10);
    EXPECT_EQ(shaper.shape(answer, true, {}, held), std::vector<Bytes>{answer});
}

TEST(AnswerShaper, EveryNthAnswerIsDropped) {
    AnswerShaper shaper;
    Faults faults;
    faults.dropEveryNth = 3;
    Bytes held;
    std::vector<size_t> writes;
    for (int i = 0; i < 6; ++i)
        writes.push_back(shaper.shape(answerFrame(0x10), true, faults, held).size());
    EXPECT_EQ(writes, (std::vector<size_t>{1, 1, 0, 1, 1, 0}));
}

TEST(AnswerShaper, ContentFaultsKeepTheFrameParseable) {
    Faults faults;
    faults.failureStatus = true;
    faults.wrongEcho = true;
    faults.wrongAddress = 0x42;
    AnswerShaper shaper;
    Bytes held;
    const Bytes sent = shaper.shape(answerFrame(0x20), true, faults, held).at(0);
    EXPECT_EQ(sent[4], 0x42);
    EXPECT_EQ(sent[5], 0x21);
    EXPECT_EQ(sent[6], 0);
    EXPECT_EQ(qn::checksum(sent), 0);
}

TEST(AnswerShaper, BadChecksumBreaksOnlyTheChecksum) {
    Faults faults;
    faults.badChecksum = true;
    AnswerShaper shaper;
    Bytes held;
    const Bytes answer = answerFrame(0x20);
    const Bytes sent = shaper.shape(answer, true, faults, held).at(0);
    EXPECT_NE(qn::checksum(sent), 0);
    EXPECT_TRUE(std::equal(answer.begin(), answer.end() - 1, sent.begin()));
}

TEST(AnswerShaper, OverriddenAnswersKeepTheirBytes) {
    Faults faults;
    faults.badChecksum = true;
    faults.wrongEcho = true;
    AnswerShaper shaper;
    Bytes held;
    const Bytes exact = answerFrame(0x20);
    EXPECT_EQ(shaper.shape(exact, false, faults, held).at(0), exact);
}

TEST(AnswerShaper, MergeHoldsOneAnswerAndSendsItWithTheNext) {
    Faults faults;
    faults.mergeFrames = true;
    AnswerShaper shaper;
    Bytes held;
    const Bytes a = answerFrame(0x10), b = answerFrame(0x20);
    EXPECT_TRUE(shaper.shape(a, true, faults, held).empty());
    const auto writes = shaper.shape(b, true, faults, held);
    ASSERT_EQ(writes.size(), 1u);
    Bytes both = a;
    both.insert(both.end(), b.begin(), b.end());
    EXPECT_EQ(writes[0], both);
    EXPECT_TRUE(held.empty());
}

TEST(AnswerShaper, SplitCutsIntoPiecesOfTheChunkSize) {
    Faults faults;
    faults.splitChunk = 4;
    AnswerShaper shaper;
    Bytes held;
    const Bytes answer = answerFrame(0x10, Bytes(6, 9));  // 14 bytes
    const auto writes = shaper.shape(answer, true, faults, held);
    ASSERT_EQ(writes.size(), 4u);
    EXPECT_EQ(writes[3].size(), 2u);
    Bytes joined;
    for (const Bytes &piece : writes) joined.insert(joined.end(), piece.begin(), piece.end());
    EXPECT_EQ(joined, answer);
}

}  // namespace
