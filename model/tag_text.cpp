#include "tag_text.h"

#include <cstdio>
#include <ctime>

namespace tagtext {

std::string hexText(std::span<const std::uint8_t> bytes) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const std::uint8_t byte : bytes) {
        text += digits[byte >> 4];
        text += digits[byte & 0x0F];
    }
    return text;
}

std::string utcText(std::chrono::system_clock::time_point time) {
    const auto sinceEpoch = time.time_since_epoch();
    const std::time_t seconds =
        std::chrono::duration_cast<std::chrono::seconds>(sinceEpoch).count();
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch).count() % 1000;
    std::tm utc{};
    ::gmtime_r(&seconds, &utc);
    char text[64];  // room for any int the format could print
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                  static_cast<int>(millis));
    return text;
}

std::string celsiusNumber(const std::string &temperatureText) {
    if (temperatureText.empty()) return {};
    return temperatureText.substr(0, temperatureText.size() - 1);
}

std::vector<Sighting> decodeSightings(const std::vector<tagrecord::Bytes> &bodies,
                                      const tagrecord::RecordRules &rules,
                                      const std::string &reader) {
    const auto now = std::chrono::system_clock::now();
    std::vector<Sighting> sightings;
    for (const tagrecord::Bytes &body : bodies) {
        if (auto record = tagrecord::decode(body, rules)) {
            sightings.push_back({reader, std::move(*record), now});
        }
    }
    return sightings;
}

}  // namespace tagtext
