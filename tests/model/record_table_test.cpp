#include "record_table.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace {

using record::Codec;
using record::Field;
using record::Value;

struct CodecCase {
    const char *what;
    Field field;
    Value value;
    // The record after writing the value into a record of 0xEE bytes, and the value read back.
    std::vector<std::uint8_t> written;
    Value readBack;
};

constexpr std::uint8_t kept = 0xEE;

Field field(Codec codec, int offset, int width) {
    return Field{"f", offset, width, codec};
}

TEST(RecordTable, EachCodecWritesOnlyItsBytesAndReadsBack) {
    Field bit = field(Codec::Bit, 1, 1);
    bit.bit = 4;
    Field counted = field(Codec::Hex, 1, 3);
    counted.countAt = 0;
    const std::vector<CodecCase> cases{
        {"number, two bytes little-endian",
         field(Codec::Number, 1, 2),
         std::int64_t{60000},
         {kept, 0x60, 0xEA, kept, kept, kept},
         std::int64_t{60000}},
        {"number keeps its low bits",
         field(Codec::Number, 0, 1),
         std::int64_t{0x1FF},
         {0xFF, kept, kept, kept, kept, kept},
         std::int64_t{0xFF}},
        {"list position",
         field(Codec::List, 5, 1),
         std::int64_t{3},
         {kept, kept, kept, kept, kept, 3},
         std::int64_t{3}},
        {"flag", field(Codec::Flag, 2, 1), true, {kept, kept, 1, kept, kept, kept}, true},
        {"bit keeps the other bits", bit, false, {kept, 0xEE, kept, kept, kept, kept}, false},
        {"bit set", bit, true, {kept, 0xFE, kept, kept, kept, kept}, true},
        {"hex, the rest of the field zero",
         field(Codec::Hex, 1, 3),
         std::string("0a1"),
         {kept, 0x0A, 0, 0, kept, kept},
         std::string("0A0000")},
        {"hex with a count byte",
         counted,
         std::string("A1B2C3D4"),
         {3, 0xA1, 0xB2, 0xC3, kept, kept},
         std::string("A1B2C3")},
        {"address",
         field(Codec::Ipv4, 1, 4),
         std::string("192.168.300.x"),
         {kept, 192, 168, 44, 0, kept},
         std::string("192.168.44.0")},
        {"text cut before a split character",
         field(Codec::Text, 0, 4),
         std::string("ab\xC3\xA9"),
         {'a', 'b', 0, 0, kept, kept},
         std::string("ab")},
        {"text past the record's end",
         field(Codec::Text, 4, 8),
         std::string("xyz"),
         {kept, kept, kept, kept, 'x', 'y'},
         std::string("xy")},
    };
    for (const CodecCase &each : cases) {
        SCOPED_TRACE(each.what);
        std::vector<std::uint8_t> bytes(6, kept);
        ASSERT_TRUE(record::encode(each.field, each.value, bytes));
        EXPECT_EQ(bytes, each.written);
        EXPECT_EQ(record::decode(each.field, bytes), each.readBack);
    }
}

TEST(RecordTable, WrongKindOfValueWritesNothing) {
    std::vector<std::uint8_t> bytes(4, kept);
    EXPECT_FALSE(record::encode(field(Codec::Number, 0, 1), std::string("12"), bytes));
    EXPECT_FALSE(record::encode(field(Codec::Text, 0, 4), std::int64_t{1}, bytes));
    EXPECT_FALSE(record::encode(field(Codec::Flag, 0, 1), std::int64_t{1}, bytes));
    EXPECT_EQ(bytes, std::vector<std::uint8_t>(4, kept));
}

TEST(RecordTable, FieldTextParsesAsTheControlsDo) {
    EXPECT_EQ(record::leadingDecimal("  65537xyz"), 1);
    EXPECT_EQ(record::leadingDecimal("x1"), 0);
    EXPECT_EQ(record::shortHex("a"), 10);
    EXPECT_EQ(record::shortHex("1G"), 0);
    EXPECT_EQ(record::shortHex("G1"), 1);
    EXPECT_EQ(record::shortHex("123"), 0);
    Field hexNumber = field(Codec::Number, 0, 1);
    hexNumber.radix = record::Radix::Hex;
    EXPECT_EQ(record::textOf(hexNumber, std::int64_t{10}), "0A");
    EXPECT_EQ(record::valueFromText(hexNumber, "0A"), Value(std::int64_t{10}));
}

}  // namespace
