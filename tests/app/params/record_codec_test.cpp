// The texts the GPRS page shows: SIM states by their language text, answers converted up to
// their zero.
#include "params/CDlgGPRSTest.h"
#include "params/RecordText.h"

#include <gtest/gtest.h>

#include <array>

namespace {

TEST(RecordCodecTest, GprsAnswersAsText) {
    EXPECT_EQ(CDlgGPRSTest::simStateTextKey(0), Text::SimStateNoCard);
    EXPECT_EQ(CDlgGPRSTest::simStateTextKey(1), Text::SimStateReady);
    EXPECT_EQ(CDlgGPRSTest::simStateTextKey(16), Text::SimStateSearching);
    EXPECT_EQ(CDlgGPRSTest::simStateTextKey(17), Text::SimStateRegistered);
    EXPECT_EQ(CDlgGPRSTest::simStateTextKey(18), Text::SimStateServerConnected);
    EXPECT_EQ(CDlgGPRSTest::simStateTextKey(2), std::nullopt);
    const std::array<std::uint8_t, 8> signal{'C', 'S', 'Q', ':', '2', '4', ',', '9'};
    EXPECT_EQ(recordtext::fromField(signal), QStringLiteral("CSQ:24,9"));
    const std::array<std::uint8_t, 4> invalid{0xFF, 'a', 0, 'b'};
    EXPECT_EQ(recordtext::fromField(invalid), QStringLiteral("\ufffda"));
}

}  // namespace
