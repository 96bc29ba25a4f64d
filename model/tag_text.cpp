#include "tag_text.h"

#include <cstdio>
#include <ctime>

#include "json_text.h"

namespace tagtext {

namespace {

std::vector<Sighting> sightingsOf(const std::vector<tagrecord::Bytes> &bodies,
                                  const tagrecord::RecordRules &rules, const std::string &reader) {
    const auto now = std::chrono::system_clock::now();
    std::vector<Sighting> sightings;
    sightings.reserve(bodies.size());
    for (const tagrecord::Bytes &body : bodies) {
        if (auto record = tagrecord::decode(body, rules)) {
            sightings.push_back({reader, std::move(*record), now});
        }
    }
    return sightings;
}

}  // namespace

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

std::vector<Sighting> inventorySightings(const std::string &reader,
                                         std::span<const std::uint8_t> records,
                                         std::size_t byteLength) {
    return sightingsOf(tagrecord::walk(records, byteLength), tagrecord::temperatureRules, reader);
}

std::vector<Sighting> reportSightings(const std::string &reader,
                                      std::span<const std::uint8_t> records, int lengthValue) {
    return sightingsOf(tagrecord::walk(records, tagrecord::reportRecordBytes(lengthValue)),
                       tagrecord::activeRules, reader);
}

void appendJsonMembers(std::string &json, const Sighting &sighting, std::string_view quotedReader,
                       std::string_view quotedTime) {
    const tagrecord::TagRecord &record = sighting.record;
    json += "\"reader\":";
    json += quotedReader;
    json += ",\"epc\":\"";
    json += hextext::compact(record.epc);
    json += '"';
    // The GS1 identity, when the EPC has one, right after the EPC it names.
    if (const auto identity = record.identity()) {
        json += ",\"uri\":";
        json += jsontext::quoted(identity->uri);
    }
    json += ",\"antenna\":";
    json += std::to_string(record.antenna);
    json += ",\"rssi\":";
    json += std::to_string(record.rssi);
    json += ",\"time\":";
    json += quotedTime;
    if (record.temperature) {
        char celsius[32];
        std::snprintf(celsius, sizeof celsius, "%f", double(*record.temperature));
        json += ",\"temperature\":";
        json += celsius;
    }
}

std::string jsonMembers(const Sighting &sighting) {
    std::string json;
    appendJsonMembers(json, sighting, jsontext::quoted(sighting.reader),
                      jsontext::quoted(utcText(sighting.time)));
    return json;
}

}  // namespace tagtext
