#include "reader_address.h"

#include <algorithm>
#include <charconv>
#include <iterator>

namespace readeraddress {

namespace {

constexpr std::string_view kTcpScheme = "tcp://";
constexpr std::string_view kSerialScheme = "serial:";
constexpr std::string_view kUsbScheme = "usb:";
constexpr std::string_view kBaudOption = "baud=";
constexpr std::string_view kForms = "tcp://HOST[:PORT], serial:PATH[?baud=N] or usb:N";

Parsed failure(std::string reason) {
    return {std::nullopt, std::move(reason)};
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// A whole decimal number from 1 to `max`, digits only.
std::optional<int64_t> positiveNumber(std::string_view text, int64_t max) {
    if (text.empty() || text.size() > 10) return std::nullopt;
    int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    if (value < 1 || value > max) return std::nullopt;
    return value;
}

bool allDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Letters, digits, dots, hyphens and underscores: an IPv4 address or a host name.
bool validHost(std::string_view host) {
    return !host.empty() && host.size() <= 253 && std::all_of(host.begin(), host.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '.' || c == '-' || c == '_';
    });
}

Parsed parseTcp(std::string_view rest) {
    if (rest.empty()) return failure("no host after tcp://");
    if (rest.front() == '[') return failure("IPv6 addresses are not supported; use IPv4 or a name");
    Tcp tcp;
    const size_t colon = rest.find(':');
    std::string_view host = rest.substr(0, colon);
    if (colon != std::string_view::npos) {
        const std::optional<int64_t> port = positiveNumber(rest.substr(colon + 1), 65535);
        if (!port) return failure("the port must be a number from 1 to 65535");
        tcp.port = static_cast<uint16_t>(*port);
    }
    if (host.empty()) return failure("no host after tcp://");
    if (!validHost(host)) return failure("\"" + std::string(host) + "\" is not a host name");
    tcp.host = std::string(host);
    return {tcp, {}};
}

Parsed parseSerial(std::string_view rest) {
    Serial serial;
    const size_t question = rest.find('?');
    std::string_view path = rest.substr(0, question);
    if (question != std::string_view::npos) {
        const std::string_view option = rest.substr(question + 1);
        if (!startsWith(option, kBaudOption)) {
            return failure("unknown option \"" + std::string(option) + "\"; only baud=N is known");
        }
        const std::optional<int64_t> baud =
            positiveNumber(option.substr(kBaudOption.size()), kMaxBaud);
        if (!baud || std::ranges::find(kSupportedBauds, *baud) == std::end(kSupportedBauds)) {
            return failure(
                "the baud rate must be a standard one: 9600, 19200, 38400, 57600, "
                "115200, 230400, 460800, 921600 ... up to 4000000");
        }
        serial.baud = static_cast<int32_t>(*baud);
    }
    if (path.empty()) return failure("no device after serial:");
    serial.path =
        path.find('/') == std::string_view::npos ? "/dev/" + std::string(path) : std::string(path);
    return {serial, {}};
}

Parsed parseUsb(std::string_view rest) {
    if (rest.empty()) return failure("no reader number or device path after usb:");
    if (!allDigits(rest)) return {UsbPath{std::string(rest)}, {}};
    const std::optional<int64_t> index = rest == "0" ? 0 : positiveNumber(rest, 65535);
    if (!index) return failure("the USB reader number must be from 0 to 65535");
    return {UsbIndex{static_cast<uint16_t>(*index)}, {}};
}

std::string_view trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

Parsed parse(std::string_view text) {
    if (text.size() > kMaxAddressLength) return failure("the address is too long");
    text = trimmed(text);
    if (text.empty()) return failure("no reader address given; use " + std::string(kForms));
    const bool hasControl = std::any_of(text.begin(), text.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
    });
    if (hasControl) return failure("the address holds a control character");
    if (startsWith(text, kTcpScheme)) return parseTcp(text.substr(kTcpScheme.size()));
    if (startsWith(text, kSerialScheme)) return parseSerial(text.substr(kSerialScheme.size()));
    if (startsWith(text, kUsbScheme)) return parseUsb(text.substr(kUsbScheme.size()));
    return failure("\"" + std::string(text) + "\" is not a reader address; use " +
                   std::string(kForms));
}

std::string format(const Address &address) {
    struct Writer {
        std::string operator()(const Tcp &tcp) const {
            return std::string(kTcpScheme) + tcp.host + ":" + std::to_string(tcp.port);
        }
        std::string operator()(const Serial &serial) const {
            return std::string(kSerialScheme) + serial.path +
                   "?baud=" + std::to_string(serial.baud);
        }
        std::string operator()(const UsbIndex &usb) const {
            return std::string(kUsbScheme) + std::to_string(usb.index);
        }
        std::string operator()(const UsbPath &usb) const {
            return std::string(kUsbScheme) + usb.path;
        }
    };
    return std::visit(Writer{}, address);
}

}  // namespace readeraddress
