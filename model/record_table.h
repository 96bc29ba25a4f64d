// Parameter records described as tables of fields: where each field lies, how its bytes read
// and write, which families have it. The program's pages, the profile files, the virtual
// reader and the command-line tools all read and build records through these tables, so a
// field is added or moved by editing one row. Qt-free.
#pragma once

#include "reader_family.h"

#include <cstdint>
#include <initializer_list>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace record {

enum class Codec {
    Number,  // width 1 or 2 bytes, little-endian; the value's low bits are stored
    List,    // one byte: a list position
    Flag,    // one byte: nonzero reads true, true writes 1
    Bit,     // one bit of a byte (Field::bit); the other bits of the byte are kept
    Hex,     // width bytes as hex digits ("0A1B"); with a count byte, only that many bytes
    Ipv4,    // four bytes as "a.b.c.d", first byte first
    Text,    // UTF-8 in width bytes: at most width - 1 of them, ended by a zero
};

// How a number is written where a person reads or types it.
enum class Radix { Decimal, Hex };

// A set of reader families.
class Families {
  public:
    constexpr Families() = default;
    constexpr Families(std::initializer_list<readerfamily::Family> families) {
        for (readerfamily::Family family : families) m_bits |= bitOf(family);
    }
    static constexpr Families all() {
        Families every;
        every.m_bits = 0xFFFF;
        return every;
    }
    constexpr bool contains(readerfamily::Family family) const {
        return (m_bits & bitOf(family)) != 0;
    }

  private:
    static constexpr std::uint16_t bitOf(readerfamily::Family family) {
        return static_cast<std::uint16_t>(1u << static_cast<unsigned>(family));
    }
    std::uint16_t m_bits = 0;
};

struct Field {
    // A stable identifier in snake_case: what tools print and read.
    std::string_view name;
    int offset;
    int width;
    Codec codec;
    Families families = Families::all();
    // Language text of the field's caption (a Text as its key number); 0 where the caption is
    // a fixed text or none.
    int captionKey = 0;
    // Factory value: numbers, lists, flags and bits take defaultNumber, the others defaultText.
    std::int64_t defaultNumber = 0;
    std::string_view defaultText = {};
    Radix radix = Radix::Decimal;
    // Bit: which bit of the byte at offset.
    int bit = 0;
    // Hex: the byte that says how many of the width bytes are in use (-1: all of them).
    int countAt = -1;
    // List: what tools read and write for positions 0, 1, ...; a name made of digits stands
    // for that number ("9600"). Empty: the position itself is the value.
    std::span<const std::string_view> choices = {};
    // Numbers and lists: the largest value a reader takes (-1: whatever the width holds).
    std::int64_t maxNumber = -1;
};

struct RecordTable {
    std::string_view name;
    std::span<const Field> fields;
};

// A field's value: numbers and list positions as numbers, flags and bits as booleans, hex,
// addresses and texts as text.
using Value = std::variant<std::int64_t, bool, std::string>;
using Values = std::map<std::string, Value, std::less<>>;

// The first field of that name; and the one the family has (fields at the same bytes can
// differ by family). Null when there is none.
const Field *find(const RecordTable &table, std::string_view name);
const Field *find(const RecordTable &table, std::string_view name, readerfamily::Family family);

// Bytes past the end of the record read as 0.
Value decode(const Field &field, std::span<const std::uint8_t> record);
// Every field the family has.
Values decode(const RecordTable &table, std::span<const std::uint8_t> record,
              readerfamily::Family family);

// Writes the field's bytes (and its count byte) and no others; bytes past the end of the
// record are left out. A value of the wrong kind writes nothing and returns false.
bool encode(const Field &field, const Value &value, std::span<std::uint8_t> record);
// Writes every value whose name is a field of the family; other names are ignored.
void encode(const RecordTable &table, const Values &values, readerfamily::Family family,
            std::span<std::uint8_t> record);

// The factory value of the field; of every field the family has.
Value defaultValue(const Field &field);
Values defaultValues(const RecordTable &table, readerfamily::Family family);

// ---- Field text, as typed into a control or given on a command line -----------------------

// The leading decimal number after spaces (0 when there is none), kept to 16 bits.
int leadingDecimal(std::string_view text);
// One or two hex digits as a number; any other text gives 0.
int shortHex(std::string_view text);
// A value of the field's kind from its text: a number by its radix, a flag from "1"/"true",
// any text for the others.
Value valueFromText(const Field &field, std::string_view text);
std::string textOf(const Field &field, const Value &value);

// A value from text given by another program or a person on a command line, checked in full:
// a list's choice by name, numbers in decimal or 0x-prefixed hex up to the field's largest
// value, flags as true/false, yes/no or 1/0, hex as pairs of digits that fit, IPv4 as a.b.c.d, text
// that fits. Otherwise nothing, with the reason (naming the field and what it takes) in `error`.
std::optional<Value> parseValue(const Field &field, std::string_view text, std::string &error);

// The value as tools show it: a list position as its choice (a number for a choice of
// digits); positions without a choice, and every other value, as they are.
Value namedValue(const Field &field, const Value &value);
// As a JSON value: true/false, a number, or a string.
std::string jsonValue(const Value &value);

}  // namespace record
