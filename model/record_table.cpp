#include "record_table.h"

#include "hex_text.h"
#include "json_text.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstdio>

namespace record {

namespace {

std::uint8_t byteAt(std::span<const std::uint8_t> record, int offset) {
    return offset >= 0 && std::size_t(offset) < record.size() ? record[std::size_t(offset)] : 0;
}

void putByte(std::span<std::uint8_t> record, int offset, std::uint8_t value) {
    if (offset >= 0 && std::size_t(offset) < record.size()) record[std::size_t(offset)] = value;
}

std::string bytesAt(std::span<const std::uint8_t> record, int offset, int count) {
    std::string bytes;
    for (int index = 0; index < count; ++index)
        bytes.push_back(static_cast<char>(byteAt(record, offset + index)));
    return bytes;
}

// The bytes into the field, the rest of the field zero.
void putBytes(std::span<std::uint8_t> record, const Field &field, std::string_view bytes) {
    for (int index = 0; index < field.width; ++index) {
        const bool given = std::size_t(index) < bytes.size();
        putByte(record, field.offset + index, given ? std::uint8_t(bytes[std::size_t(index)]) : 0);
    }
}

bool isContinuationByte(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

// At most `limit` bytes of the text, cut before a character that does not fit whole.
std::string_view fittingText(std::string_view text, std::size_t limit) {
    std::size_t length = std::min(text.size(), limit);
    while (length > 0 && length < text.size() && isContinuationByte(text[length])) --length;
    return text.substr(0, length);
}

std::string ipv4Text(std::span<const std::uint8_t> record, int offset) {
    std::array<char, 16> text{};
    std::snprintf(text.data(), text.size(), "%d.%d.%d.%d", byteAt(record, offset),
                  byteAt(record, offset + 1), byteAt(record, offset + 2),
                  byteAt(record, offset + 3));
    return text.data();
}

std::string ipv4Bytes(std::string_view text) {
    std::string bytes(4, '\0');
    for (char &byte : bytes) {
        const std::size_t dot = text.find('.');
        byte = static_cast<char>(leadingDecimal(text.substr(0, dot)) & 0xFF);
        text = dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
    }
    return bytes;
}

std::int64_t numberAt(const Field &field, std::span<const std::uint8_t> record) {
    std::int64_t value = 0;
    for (int index = field.width - 1; index >= 0; --index)
        value = value << 8 | byteAt(record, field.offset + index);
    return value;
}

int hexCount(const Field &field, std::span<const std::uint8_t> record) {
    return field.countAt < 0 ? field.width
                             : std::min<int>(byteAt(record, field.countAt), field.width);
}

bool encodeNumber(const Field &field, std::int64_t value, std::span<std::uint8_t> record) {
    for (int index = 0; index < field.width; ++index)
        putByte(record, field.offset + index, static_cast<std::uint8_t>(value >> (8 * index)));
    return true;
}

bool encodeBool(const Field &field, bool value, std::span<std::uint8_t> record) {
    if (field.codec == Codec::Flag) {
        putByte(record, field.offset, value ? 1 : 0);
        return true;
    }
    const auto mask = static_cast<std::uint8_t>(1u << field.bit);
    const std::uint8_t kept = byteAt(record, field.offset) & static_cast<std::uint8_t>(~mask);
    putByte(record, field.offset, value ? kept | mask : kept);
    return true;
}

bool encodeText(const Field &field, const std::string &value, std::span<std::uint8_t> record) {
    switch (field.codec) {
        case Codec::Hex: {
            std::vector<std::uint8_t> parsed = hextext::lenientBytes(value);
            parsed.resize(std::min(parsed.size(), std::size_t(field.width)));
            const std::string bytes(parsed.begin(), parsed.end());
            putBytes(record, field, bytes);
            if (field.countAt >= 0)
                putByte(record, field.countAt, static_cast<std::uint8_t>(bytes.size()));
            return true;
        }
        case Codec::Ipv4:
            putBytes(record, field, ipv4Bytes(value));
            return true;
        case Codec::Text:
            putBytes(record, field, fittingText(value, std::size_t(std::max(field.width - 1, 0))));
            return true;
        default:
            return false;
    }
}

bool isNumeric(Codec codec) {
    return codec == Codec::Number || codec == Codec::List;
}

bool isBoolean(Codec codec) {
    return codec == Codec::Flag || codec == Codec::Bit;
}

}  // namespace

const Field *find(const RecordTable &table, std::string_view name) {
    const auto found = std::find_if(table.fields.begin(), table.fields.end(),
                                    [name](const Field &field) { return field.name == name; });
    return found == table.fields.end() ? nullptr : &*found;
}

const Field *find(const RecordTable &table, std::string_view name, readerfamily::Family family) {
    const auto found =
        std::find_if(table.fields.begin(), table.fields.end(), [name, family](const Field &field) {
            return field.name == name && field.families.contains(family);
        });
    return found == table.fields.end() ? nullptr : &*found;
}

Value decode(const Field &field, std::span<const std::uint8_t> record) {
    switch (field.codec) {
        case Codec::Number:
        case Codec::List:
            return numberAt(field, record);
        case Codec::Flag:
            return byteAt(record, field.offset) != 0;
        case Codec::Bit:
            return ((byteAt(record, field.offset) >> field.bit) & 1) != 0;
        case Codec::Hex: {
            const std::string bytes = bytesAt(record, field.offset, hexCount(field, record));
            return hextext::compact(
                std::span(reinterpret_cast<const std::uint8_t *>(bytes.data()), bytes.size()));
        }
        case Codec::Ipv4:
            return ipv4Text(record, field.offset);
        case Codec::Text: {
            const std::string bytes = bytesAt(record, field.offset, std::max(field.width - 1, 0));
            return bytes.substr(0, bytes.find('\0'));
        }
    }
    return std::int64_t{0};
}

Values decode(const RecordTable &table, std::span<const std::uint8_t> record,
              readerfamily::Family family) {
    Values values;
    for (const Field &field : table.fields)
        if (field.families.contains(family))
            values[std::string(field.name)] = decode(field, record);
    return values;
}

bool encode(const Field &field, const Value &value, std::span<std::uint8_t> record) {
    if (const auto *number = std::get_if<std::int64_t>(&value); number && isNumeric(field.codec))
        return encodeNumber(field, *number, record);
    if (const auto *flag = std::get_if<bool>(&value); flag && isBoolean(field.codec))
        return encodeBool(field, *flag, record);
    if (const auto *text = std::get_if<std::string>(&value))
        return encodeText(field, *text, record);
    return false;
}

void encode(const RecordTable &table, const Values &values, readerfamily::Family family,
            std::span<std::uint8_t> record) {
    for (const Field &field : table.fields) {
        if (!field.families.contains(family)) continue;
        if (const auto value = values.find(field.name); value != values.end())
            encode(field, value->second, record);
    }
}

Value defaultValue(const Field &field) {
    if (isNumeric(field.codec)) return field.defaultNumber;
    if (isBoolean(field.codec)) return field.defaultNumber != 0;
    return std::string(field.defaultText);
}

Values defaultValues(const RecordTable &table, readerfamily::Family family) {
    Values values;
    for (const Field &field : table.fields)
        if (field.families.contains(family)) values[std::string(field.name)] = defaultValue(field);
    return values;
}

int leadingDecimal(std::string_view text) {
    constexpr int lowBits16 = 0x10000;
    std::size_t at = text.find_first_not_of(' ');
    int value = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at)
        value = (value * 10 + (text[at] - '0')) % lowBits16;
    return value;
}

int shortHex(std::string_view text) {
    const auto character = [&text](std::size_t index) {
        return static_cast<unsigned char>(text[index]);
    };
    if (text.size() == 1) return hextext::lenientPair('0', character(0));
    if (text.size() == 2) return hextext::lenientPair(character(0), character(1));
    return 0;
}

Value valueFromText(const Field &field, std::string_view text) {
    if (isBoolean(field.codec)) return text == "1" || text == "true";
    if (isNumeric(field.codec))
        return std::int64_t{field.radix == Radix::Hex ? shortHex(text) : leadingDecimal(text)};
    return std::string(text);
}

std::string textOf(const Field &field, const Value &value) {
    if (const auto *flag = std::get_if<bool>(&value)) return *flag ? "1" : "0";
    if (const auto *text = std::get_if<std::string>(&value)) return *text;
    const std::int64_t number = std::get<std::int64_t>(value);
    if (field.radix == Radix::Decimal) return std::to_string(number);
    std::array<char, 24> digits{};
    std::snprintf(digits.data(), digits.size(), "%.*llX", 2 * field.width,
                  static_cast<unsigned long long>(number));
    return digits.data();
}

namespace {

std::optional<std::int64_t> wholeNumber(std::string_view text) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    std::int64_t value = 0;
    const char *end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, base);
    if (text.empty() || error != std::errc() || stop != end) return std::nullopt;
    return value;
}

std::int64_t largestNumber(const Field &field) {
    if (field.maxNumber >= 0) return field.maxNumber;
    return field.codec == Codec::List || field.width == 1 ? 0xFF : 0xFFFF;
}

std::string choiceList(const Field &field) {
    std::string list;
    for (size_t i = 0; i < field.choices.size(); ++i) {
        if (i > 0) list += i + 1 == field.choices.size() ? " or " : ", ";
        list += field.choices[i];
    }
    return list;
}

std::optional<Value> chosenPosition(const Field &field, std::string_view text, std::string &error) {
    const auto chosen = std::find(field.choices.begin(), field.choices.end(), text);
    if (chosen != field.choices.end()) return std::int64_t{chosen - field.choices.begin()};
    error = std::string(field.name) + " takes " + choiceList(field);
    return std::nullopt;
}

bool isDecimalDigits(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c)) != 0;
    });
}

bool isHexDigits(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) {
        return hextext::digitValue(static_cast<unsigned char>(c)) >= 0;
    });
}

// Four dot-separated decimal numbers from 0 to 255.
bool isIpv4(std::string_view text) {
    for (int part = 0; part < 4; ++part) {
        const size_t dot = text.find('.');
        if ((part < 3) == (dot == std::string_view::npos)) return false;
        const std::string_view digits = text.substr(0, dot);
        const bool decimal = !digits.empty() && digits.size() <= 3 &&
                             digits.find_first_not_of("0123456789") == std::string_view::npos;
        if (!decimal || std::stoi(std::string(digits)) > 255) return false;
        text.remove_prefix(part < 3 ? dot + 1 : text.size());
    }
    return true;
}

}  // namespace

std::optional<Value> parseValue(const Field &field, std::string_view text, std::string &error) {
    const std::string name(field.name);
    if (isBoolean(field.codec)) {
        // Whatever a get prints (true/false) goes back, and so do the usual spellings.
        if (text == "1" || text == "true" || text == "yes") return true;
        if (text == "0" || text == "false" || text == "no") return false;
        error = name + " takes true or false (also yes/no, 1/0)";
        return std::nullopt;
    }
    if (!field.choices.empty()) return chosenPosition(field, text, error);
    if (isNumeric(field.codec)) {
        const std::int64_t max = largestNumber(field);
        const std::optional<std::int64_t> number = wholeNumber(text);
        if (number && *number >= 0 && *number <= max) return *number;
        error = name + " takes a number from 0 to " + std::to_string(max);
        return std::nullopt;
    }
    const std::string value(text);
    switch (field.codec) {
        case Codec::Hex: {
            const int room = field.width;
            if (isHexDigits(text) && text.size() % 2 == 0 && int(text.size() / 2) <= room)
                return value;
            error = name + " takes up to " + std::to_string(room) + " bytes as pairs of hex digits";
            return std::nullopt;
        }
        case Codec::Ipv4:
            if (isIpv4(text)) return value;
            error = name + " takes an IPv4 address a.b.c.d";
            return std::nullopt;
        default:
            if (int(text.size()) <= std::max(field.width - 1, 0) && text.find('\0') == text.npos)
                return value;
            error = name + " takes at most " + std::to_string(std::max(field.width - 1, 0)) +
                    " bytes of text";
            return std::nullopt;
    }
}

Value namedValue(const Field &field, const Value &value) {
    const auto *position = std::get_if<std::int64_t>(&value);
    if (!position || *position < 0 || *position >= std::ssize(field.choices)) return value;
    const std::string_view choice = field.choices[static_cast<size_t>(*position)];
    if (isDecimalDigits(choice)) return *wholeNumber(choice);
    return std::string(choice);
}

std::string jsonValue(const Value &value) {
    if (const auto *flag = std::get_if<bool>(&value)) return *flag ? "true" : "false";
    if (const auto *number = std::get_if<std::int64_t>(&value)) return std::to_string(*number);
    return jsontext::quoted(std::get<std::string>(value));
}

}  // namespace record
