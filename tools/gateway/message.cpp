#include "message.h"

#include "json_text.h"
#include "tag_text.h"

namespace gateway {

namespace {

constexpr int kMessageVersion = 1;

}  // namespace

std::string tagJson(const Sighting &sighting, long count) {
    std::string json =
        "{\"v\":" + std::to_string(kMessageVersion) + "," + tagtext::jsonMembers(sighting);
    if (count > 0) json += ",\"count\":" + std::to_string(count);
    return json + "}";
}

std::string batchJson(const std::string &reader, std::span<const std::string_view> tags) {
    std::string json = "{\"v\":" + std::to_string(kMessageVersion) +
                       ",\"reader\":" + jsontext::quoted(reader) + ",\"tags\":[";
    for (const std::string_view tag : tags) {
        json += tag;
        json += ',';
    }
    if (!tags.empty()) json.pop_back();
    return json + "]}";
}

std::string statusJson(bool online, Clock::time_point since, const std::string &gateway) {
    std::string json = std::string("{\"state\":\"") + (online ? "online" : "offline") +
                       "\",\"since\":" + jsontext::quoted(tagtext::utcText(since));
    if (!gateway.empty()) json += ",\"gateway\":" + jsontext::quoted(gateway);
    return json + "}";
}

std::string statsJson(const Stats &stats) {
    return "{\"readers\":" + std::to_string(stats.readers) +
           ",\"reports\":" + std::to_string(stats.reports) +
           ",\"published\":" + std::to_string(stats.published) +
           ",\"dropped\":" + std::to_string(stats.dropped) +
           ",\"queued\":" + std::to_string(stats.queued) +
           ",\"ignored\":" + std::to_string(stats.ignored) + "}";
}

}  // namespace gateway
