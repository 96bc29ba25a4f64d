// Arbitrary active-mode reports (any tag count, length value and record bytes) along the
// active pages' path: the bytes the library hands over, the report walk, then the merge into
// the page's tag list. The walk yields slices of the report in order and within its bounds;
// the list counts every record handed over, holds one row per distinct EPC, numbered in order,
// and its counts add up to the records it accepted.
#include <fuzzer/FuzzedDataProvider.h>

#include <QTime>

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <set>
#include <vector>

#include "tag_record.h"
#include "tags/CTagListModel.h"

namespace {

using tagrecord::Bytes;

// The longest report a library passes on; the page copies no more (see CReaderEvents).
constexpr int maxReportLength = 1560;

struct Report {
    int tagCount;
    int length;
    Bytes records;  // `length` bytes: the records, then what the library padded
};

Report nextReport(FuzzedDataProvider &input) {
    Report report{
        input.ConsumeIntegralInRange(-2, 130), input.ConsumeIntegralInRange(-2, 1600), {}};
    const auto size = static_cast<size_t>(std::clamp(report.length, 0, maxReportLength));
    report.records = input.ConsumeBytes<uint8_t>(size);
    report.records.resize(size);
    return report;
}

// The bodies are the report's records in order, each behind its length byte, within the
// record bytes its length value gives; the tag count plays no part.
void checkWalk(const Report &report, const std::vector<Bytes> &bodies) {
    size_t position = 0;
    for (const Bytes &body : bodies) {
        assert(report.records[position] == body.size());
        assert(std::equal(body.begin(), body.end(), report.records.begin() + position + 1));
        position += body.size() + 1;
    }
    assert(position <= std::min({tagrecord::recordBytesLimit, report.records.size(),
                                 tagrecord::reportRecordBytes(report.length)}));
}

void checkList(const CTagListModel &model, int64_t handedOver, int64_t accepted,
               const std::set<Bytes> &distinct) {
    assert(model.reportCount() == handedOver);
    assert(model.tagCount() == int(distinct.size()));
    int64_t counted = 0;
    for (int row = 0; row < model.rowCount(); ++row) {
        assert(model.cellText(row, CTagListModel::Number).toInt() == row + 1);
        counted += model.cellText(row, CTagListModel::Count).toLongLong();
        for (int column = 0; column < model.columnCount(); ++column)
            (void)model.data(model.index(row, column));
    }
    assert(counted == accepted);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzedDataProvider input(data, size);
    const auto kind = input.ConsumeBool() ? CTagListModel::Kind::ActiveRead
                                          : CTagListModel::Kind::ActiveTemperature;
    CTagListModel model(kind);
    int64_t handedOver = 0;
    int64_t accepted = 0;
    std::set<Bytes> distinct;
    while (input.remaining_bytes()) {
        // One drain of the page: the bodies of every report queued meanwhile.
        std::vector<Bytes> batch;
        const int reports = input.ConsumeIntegralInRange(1, 4);
        for (int i = 0; i < reports && input.remaining_bytes(); ++i) {
            const Report report = nextReport(input);
            const std::vector<Bytes> bodies =
                tagrecord::walk(report.records, tagrecord::reportRecordBytes(report.length));
            checkWalk(report, bodies);
            batch.insert(batch.end(), bodies.begin(), bodies.end());
        }
        for (const Bytes &body : batch) {
            if (const auto record = tagrecord::decode(body, tagrecord::activeRules)) {
                ++accepted;
                distinct.insert(record->epc);
            }
        }
        handedOver += int64_t(batch.size());
        const CTagListModel::BatchResult result = model.addRecords(batch, QTime(12, 0, 1));
        assert(result.newRows >= 0 && result.newRows <= result.sightings);
        checkList(model, handedOver, accepted, distinct);
    }
    return 0;
}
