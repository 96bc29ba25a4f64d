// Bytes as hex text and back: the forms every page, file and tool shares.
#include "hex_text.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(HexText, WritesUpperCasePairsCompactAndSpaced) {
    const Bytes bytes{0x00, 0x0A, 0xAB, 0xFF};
    EXPECT_EQ(hextext::compact(bytes), "000AABFF");
    EXPECT_EQ(hextext::spaced(bytes), "00 0A AB FF ");
    EXPECT_EQ(hextext::compact(Bytes{}), "");
    EXPECT_EQ(hextext::spaced(Bytes{}), "");
}

struct ParseCase {
    const char *text;
    std::optional<Bytes> strict;
    Bytes lenient;
};

class HexParse : public testing::TestWithParam<ParseCase> {};

TEST_P(HexParse, StrictRefusesWhatLenientReadsAsZeros) {
    EXPECT_EQ(hextext::parse(GetParam().text), GetParam().strict);
    EXPECT_EQ(hextext::lenientBytes(GetParam().text), GetParam().lenient);
}

INSTANTIATE_TEST_SUITE_P(Texts, HexParse,
                         testing::Values(ParseCase{"", Bytes{}, Bytes{}},
                                         ParseCase{"01ab", Bytes{0x01, 0xAB}, Bytes{0x01, 0xAB}},
                                         ParseCase{"FfEe", Bytes{0xFF, 0xEE}, Bytes{0xFF, 0xEE}},
                                         // An odd last digit: refused, or left out.
                                         ParseCase{"ABC", std::nullopt, Bytes{0xAB}},
                                         // A non-digit high character counts as 0; a non-digit low
                                         // one zeroes the byte.
                                         ParseCase{"G1", std::nullopt, Bytes{0x01}},
                                         ParseCase{"1G", std::nullopt, Bytes{0x00}},
                                         ParseCase{"0x12", std::nullopt, Bytes{0x00, 0x12}},
                                         ParseCase{"+1", std::nullopt, Bytes{0x01}},
                                         ParseCase{" 12", std::nullopt, Bytes{0x01}}));

TEST(HexText, DigitValuesOfEitherCaseOnly) {
    EXPECT_EQ(hextext::digitValue(U'0'), 0);
    EXPECT_EQ(hextext::digitValue(U'9'), 9);
    EXPECT_EQ(hextext::digitValue(U'a'), 10);
    EXPECT_EQ(hextext::digitValue(U'F'), 15);
    EXPECT_EQ(hextext::digitValue(U'g'), -1);
    EXPECT_EQ(hextext::digitValue(U'\uFF11'), -1);  // a full-width one is not a digit
    EXPECT_EQ(hextext::lenientPair(U'z', U'1'), 1);
    EXPECT_EQ(hextext::lenientPair(U'1', U'z'), 0);
}

}  // namespace
