// Export of a 10 000-row tag list (argument: rows) as text, workbook and CSV file: the snapshot
// taken on the user-interface thread and each writer, median of five runs each. Goal: < 1 s.
#include "tags/CTagListModel.h"
#include "tags/export/TagExportFiles.h"

#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double medianMilliseconds(const std::function<void()> &work) {
    std::vector<double> runs;
    for (int run = 0; run < 5; ++run) {
        const auto start = Clock::now();
        work();
        runs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(runs.begin(), runs.end());
    return runs[runs.size() / 2];
}

}  // namespace

int main(int argc, char **argv) {
    const int rowCount = argc > 1 ? std::atoi(argv[1]) : 10000;
    CTagListModel list(CTagListModel::Kind::AnswerMode);
    std::vector<tagrecord::Bytes> bodies;
    for (int tag = 0; tag < rowCount; ++tag) {
        tagrecord::Bytes body{1, 1, 0xE2, 0x00, 0x00, 0x17, 0x22, 0x0B, 0x01, 0x44};
        for (int shift = 24; shift >= 0; shift -= 8)
            body.push_back(static_cast<std::uint8_t>(tag >> shift));
        body.push_back(0xC0);
        bodies.push_back(body);
    }
    list.addRecords(bodies, QTime(12, 0, 1));
    const QStringList titles{"No.", "Time", "EPC", "Length", "Antenna", "Count"};

    tagexport::Rows rows;
    const double snapshot = medianMilliseconds([&] { rows = tagexport::snapshot(list); });
    std::printf("rows %d, snapshot on the user-interface thread %.1f ms\n", list.rowCount(),
                snapshot);
    bool ok = true;
    for (const tagexport::FormatInfo &info : tagexport::formats()) {
        const double milliseconds = medianMilliseconds([&] {
            // A fresh folder each run: the text file is appended to.
            QTemporaryDir folder;
            ok = tagexport::write(info.format, folder.filePath("export" + info.extension), titles,
                                  rows)
                     .isEmpty() &&
                 ok;
        });
        std::printf("%-20s %8.1f ms  %s\n", qPrintable(info.filter), milliseconds,
                    milliseconds < 1000.0 ? "goal met (< 1 s)" : "GOAL MISSED (>= 1 s)");
    }
    return ok ? 0 : 1;
}
