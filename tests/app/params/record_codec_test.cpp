// The texts the GPRS page shows: SIM states by their language text, answers converted up to
// their zero.
#include "params/CDlgGPRSTest.h"
#include "params/RecordText.h"

#include <gtest/gtest.h>

#include <array>

namespace {

TEST(RecordCodecTest, GprsAnswersAsText)
{
    EXPECT_EQ(CDlgGPRSTest::simStateTextKey(0), 1230);
    EXPECT_EQ(CDlgGPRSTest::simStateTextKey(1), 1231);
    EXPECT_EQ(CDlgGPRSTest::simStateTextKey(16), 1234);
    EXPECT_EQ(CDlgGPRSTest::simStateTextKey(17), 1233);
    EXPECT_EQ(CDlgGPRSTest::simStateTextKey(18), 1232);
    EXPECT_EQ(CDlgGPRSTest::simStateTextKey(2), 0);
    const std::array<std::uint8_t, 8> signal{'C', 'S', 'Q', ':', '2', '4', ',', '9'};
    EXPECT_EQ(recordtext::fromField(signal), QStringLiteral("CSQ:24,9"));
    const std::array<std::uint8_t, 4> invalid{0xFF, 'a', 0, 'b'};
    EXPECT_EQ(recordtext::fromField(invalid), QStringLiteral("\ufffda"));
}

} // namespace
