#include "hex_text.h"

namespace hextext {

namespace {

std::string write(std::span<const std::uint8_t> bytes, bool spacedOut) {
    std::string text;
    text.reserve(bytes.size() * (spacedOut ? 3 : 2));
    for (const std::uint8_t byte : bytes) {
        text += highDigit(byte);
        text += lowDigit(byte);
        if (spacedOut) text += ' ';
    }
    return text;
}

}  // namespace

std::string compact(std::span<const std::uint8_t> bytes) {
    return write(bytes, false);
}

std::string spaced(std::span<const std::uint8_t> bytes) {
    return write(bytes, true);
}

int digitValue(char32_t character) {
    if (character >= U'0' && character <= U'9') return int(character - U'0');
    if (character >= U'A' && character <= U'F') return int(character - U'A') + 10;
    if (character >= U'a' && character <= U'f') return int(character - U'a') + 10;
    return -1;
}

std::uint8_t lenientPair(char32_t high, char32_t low) {
    const int lowValue = digitValue(low);
    if (lowValue < 0) return 0;
    const int highValue = digitValue(high);
    return static_cast<std::uint8_t>((highValue < 0 ? 0 : highValue) * 16 + lowValue);
}

std::vector<std::uint8_t> lenientBytes(std::string_view text) {
    std::vector<std::uint8_t> bytes(text.size() / 2);
    for (std::size_t index = 0; index < bytes.size(); ++index)
        bytes[index] = lenientPair(static_cast<unsigned char>(text[2 * index]),
                                   static_cast<unsigned char>(text[2 * index + 1]));
    return bytes;
}

std::optional<std::vector<std::uint8_t>> parse(std::string_view text) {
    if (text.size() % 2 != 0) return std::nullopt;
    std::vector<std::uint8_t> bytes(text.size() / 2);
    for (std::size_t index = 0; index < bytes.size(); ++index) {
        const int high = digitValue(static_cast<unsigned char>(text[2 * index]));
        const int low = digitValue(static_cast<unsigned char>(text[2 * index + 1]));
        if (high < 0 || low < 0) return std::nullopt;
        bytes[index] = static_cast<std::uint8_t>(high << 4 | low);
    }
    return bytes;
}

}  // namespace hextext
