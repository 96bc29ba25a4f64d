// QnReader_DecodeTags and QnReader_EpcUri: the model's decoding of tag records and EPCs, for
// programs in other languages, so they do not copy it.
#include <algorithm>
#include <cstring>
#include <span>

#include "QnReader.h"
#include "gs1_epc.h"
#include "tag_record.h"

static_assert(QN_TAG_RECORD_BYTES == tagrecord::recordBytesLimit);
static_assert(QN_EPC_BYTES >= tagrecord::longestEpc);

namespace {

QnSighting sightingOf(const tagrecord::TagRecord &record) {
    QnSighting sighting{};
    sighting.type = record.type;
    sighting.antenna = record.antenna;
    sighting.rssi = record.rssi;
    sighting.epcLength = static_cast<uint8_t>(record.epc.size());
    std::copy(record.epc.begin(), record.epc.end(), sighting.epc);
    sighting.hasTemperature = record.temperature ? 1 : 0;
    sighting.temperature = record.temperature.value_or(0.0f);
    return sighting;
}

}  // namespace

QN_API int32_t QnReader_DecodeTags(int32_t source, const uint8_t *records, int32_t length,
                                   QnSighting *out, int32_t capacity) {
    if ((source != QN_TAGS_INVENTORY && source != QN_TAGS_REPORT) || length < 0 || capacity < 0 ||
        (records == nullptr && length > 0) || (out == nullptr && capacity > 0))
        return -1;
    const bool report = source == QN_TAGS_REPORT;
    const std::size_t recordBytes =
        report ? tagrecord::reportRecordBytes(length) : static_cast<std::size_t>(length);
    const auto &rules = report ? tagrecord::activeRules : tagrecord::temperatureRules;
    const std::span bytes(records, std::min(recordBytes, tagrecord::recordBytesLimit));
    int32_t written = 0;
    for (const tagrecord::Bytes &body : tagrecord::walk(bytes, bytes.size())) {
        if (written == capacity) break;
        if (const auto record = tagrecord::decode(body, rules))
            out[written++] = sightingOf(*record);
    }
    return written;
}

QN_API int QnReader_EpcUri(const uint8_t *epc, int32_t length, char *uri, size_t size) {
    if (uri != nullptr && size > 0) uri[0] = '\0';
    if (epc == nullptr || length <= 0 || uri == nullptr) return 0;
    const auto identity = gs1::decode(std::span(epc, static_cast<std::size_t>(length)));
    if (!identity || identity->uri.size() >= size) return 0;
    std::memcpy(uri, identity->uri.c_str(), identity->uri.size() + 1);
    return 1;
}
