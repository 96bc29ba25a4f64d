#include "values.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>
#include <optional>
#include <string_view>

#include "cli_error.h"
#include "hex_text.h"

namespace cli {

namespace {

bool allDigits(const std::string &text, bool hex) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [hex](char c) {
        const auto code = static_cast<unsigned char>(c);
        return hex ? hextext::digitValue(code) >= 0 : std::isdigit(code) != 0;
    });
}

std::string lowerCase(std::string text) {
    for (char &c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool isLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : days[month - 1];
}

// YYYY-MM-DDTHH:MM:SS: digits everywhere but at the separators.
bool digitsWhereDue(const std::string &text) {
    static constexpr std::string_view shape = "dddd-dd-ddTdd:dd:dd";
    for (std::size_t i = 0; i < shape.size(); ++i) {
        const bool digit = std::isdigit(static_cast<unsigned char>(text[i])) != 0;
        if (shape[i] == 'd' ? !digit : text[i] != shape[i]) return false;
    }
    return true;
}

constexpr int kFirstYear = 2000;
constexpr int kLastYear = 2099;

DeviceTime localNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    return {
        static_cast<std::uint8_t>(local.tm_year % 100), static_cast<std::uint8_t>(local.tm_mon + 1),
        static_cast<std::uint8_t>(local.tm_mday),       static_cast<std::uint8_t>(local.tm_hour),
        static_cast<std::uint8_t>(local.tm_min),        static_cast<std::uint8_t>(local.tm_sec)};
}

}  // namespace

unsigned long parseNumber(const std::string &name, const std::string &text, unsigned long lowest,
                          unsigned long highest) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = hex ? text.substr(2) : text;
    // Nine hex or ten decimal digits cannot overflow; longer texts are out of range anyway.
    const bool valid = allDigits(digits, hex) && digits.size() <= (hex ? 8u : 9u);
    const unsigned long value = valid ? std::stoul(digits, nullptr, hex ? 16 : 10) : 0;
    if (!valid || value < lowest || value > highest) {
        usageError(name + " \"" + text + "\" is not a number from " + std::to_string(lowest) +
                   " to " + std::to_string(highest));
    }
    return value;
}

std::uint8_t parseBank(const std::string &text) {
    static constexpr const char *names[] = {"reserved", "epc", "tid", "user"};
    const std::string lower = lowerCase(text);
    for (std::uint8_t bank = 0; bank < 4; ++bank) {
        if (lower == names[bank] || lower == std::to_string(bank)) return bank;
    }
    usageError("bank \"" + text + "\" is not one of reserved, epc, tid, user or 0-3");
}

Bytes parseHex(const std::string &name, const std::string &text) {
    const std::optional<Bytes> bytes = text.empty() ? std::nullopt : hextext::parse(text);
    if (!bytes) usageError(name + " \"" + text + "\" is not pairs of hex digits");
    return *bytes;
}

Bytes parseHexWords(const std::string &name, const std::string &text, std::size_t maxWords) {
    if (!allDigits(text, true) || text.size() % 4 != 0 || text.size() / 4 > maxWords) {
        usageError(name + " \"" + text + "\" is not 1 to " + std::to_string(maxWords) +
                   " words of four hex digits");
    }
    return parseHex(name, text);
}

Password parsePassword(const std::string &name, const std::string &text) {
    if (text.size() != 8 || !allDigits(text, true)) {
        usageError(name + " \"" + text + "\" is not eight hex digits");
    }
    const Bytes bytes = parseHex(name, text);
    return {bytes[0], bytes[1], bytes[2], bytes[3]};
}

DeviceTime parseDeviceTime(const std::string &text) {
    if (text == "now") return localNow();
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, consumed = 0;
    const bool shaped = text.size() == 19 && digitsWhereDue(text) &&
                        std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%n", &year, &month, &day,
                                    &hour, &minute, &second, &consumed) == 6 &&
                        consumed == 19;
    const bool valid = shaped && year >= kFirstYear && year <= kLastYear && month >= 1 &&
                       month <= 12 && day >= 1 && day <= daysInMonth(year, month) && hour >= 0 &&
                       hour < 24 && minute >= 0 && minute < 60 && second >= 0 && second < 60;
    if (!valid) {
        usageError("time \"" + text + "\" is not now or YYYY-MM-DDTHH:MM:SS in 2000-2099");
    }
    return {static_cast<std::uint8_t>(year % 100), static_cast<std::uint8_t>(month),
            static_cast<std::uint8_t>(day),        static_cast<std::uint8_t>(hour),
            static_cast<std::uint8_t>(minute),     static_cast<std::uint8_t>(second)};
}

}  // namespace cli
