// The tag list of the tag pages: columns and formats, merging, the index's first-match rule,
// numbering, clearing, the temperature cell and the active pages' table.
#include "tags/CTagListModel.h"
#include "tags/export/TagExportFiles.h"

#include <QColor>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <optional>

namespace {

using tagrecord::Bytes;
using Kind = CTagListModel::Kind;

const QTime noon(12, 0, 1);
const QTime later(12, 0, 7);

Bytes plainBody(const Bytes &epc, std::uint8_t antenna = 1, std::uint8_t rssi = 0xC0) {
    Bytes body{1, antenna};
    body.insert(body.end(), epc.begin(), epc.end());
    body.push_back(rssi);
    return body;
}

Bytes temperatureBody(const Bytes &epc, std::optional<float> celsius, std::uint8_t rssi = 0xC0) {
    Bytes body{2, 1};
    body.insert(body.end(), epc.begin(), epc.end());
    body.push_back(rssi);
    const auto bits = celsius ? std::bit_cast<std::uint32_t>(*celsius) : 0xEEEEEEEEu;
    for (int shift = 0; shift < 32; shift += 8)
        body.push_back(static_cast<std::uint8_t>(bits >> shift));
    return body;
}

QStringList row(const CTagListModel &model, int index) {
    QStringList cells;
    for (int column = 0; column < model.columnCount(); ++column)
        cells.append(model.cellText(index, column));
    return cells;
}

const Bytes epcA{0xE2, 0x00, 0x00, 0x17};

TEST(TagListModel, MergesRepeatedSightingsIntoTheFirstRow) {
    CTagListModel model(Kind::AnswerMode);
    model.addRecords({plainBody(epcA, 1, 0xC0)}, noon);
    model.addRecords({plainBody(epcA, 2, 0xC1), plainBody(epcA, 3, 0xC2)}, later);
    ASSERT_EQ(model.tagCount(), 1);
    EXPECT_EQ(row(model, 0), (QStringList{"001", "12:00:07", "E2000017", "04", "03", "3", "C2"}));
}

TEST(TagListModel, WithoutMergingEverySightingIsARow) {
    CTagListModel model(Kind::AnswerMode);
    model.setMerging(false);
    const CTagListModel::BatchResult added =
        model.addRecords({plainBody(epcA), plainBody(epcA), plainBody(epcA)}, noon);
    EXPECT_EQ(added.newRows, 3);
    EXPECT_EQ(added.lastNewRow, 2);
    ASSERT_EQ(model.tagCount(), 3);
    for (int index = 0; index < 3; ++index) {
        EXPECT_EQ(model.cellText(index, CTagListModel::Number),
                  QStringLiteral("00%1").arg(index + 1));
        EXPECT_EQ(model.cellText(index, CTagListModel::Count), "1");
    }
    // Merging again finds the first of the three.
    model.setMerging(true);
    model.addRecords({plainBody(epcA)}, later);
    EXPECT_EQ(model.tagCount(), 3);
    EXPECT_EQ(model.cellText(0, CTagListModel::Count), "2");
    EXPECT_EQ(model.cellText(1, CTagListModel::Count), "1");
}

TEST(TagListModel, MatchesTheWholeEpc) {
    CTagListModel model(Kind::AnswerMode);
    model.addRecords({plainBody({0xAA, 0xBB}), plainBody({0xAA, 0xBB, 0x00, 0x11})}, noon);
    ASSERT_EQ(model.tagCount(), 2);
    EXPECT_EQ(model.cellText(0, CTagListModel::Epc), "AABB");
    EXPECT_EQ(model.cellText(1, CTagListModel::Epc), "AABB0011");
    EXPECT_EQ(model.cellText(1, CTagListModel::Length), "04");
}

TEST(TagListModel, NumbersRowsPastNineHundredNinetyNine) {
    CTagListModel model(Kind::AnswerMode);
    std::vector<Bytes> batch;
    for (int tag = 0; tag < 1000; ++tag)
        batch.push_back(plainBody({std::uint8_t(tag >> 8), std::uint8_t(tag)}));
    int insertions = 0;
    QObject::connect(&model, &QAbstractItemModel::rowsInserted, [&] { ++insertions; });
    model.addRecords(batch, noon);
    EXPECT_EQ(insertions, 1);
    ASSERT_EQ(model.tagCount(), 1000);
    EXPECT_EQ(model.cellText(6, CTagListModel::Number), "007");
    EXPECT_EQ(model.cellText(999, CTagListModel::Number), "1000");
}

TEST(TagListModel, SkipsRecordsOutsideTheLengthRange) {
    CTagListModel model(Kind::AnswerMode);
    const CTagListModel::BatchResult added =
        model.addRecords({Bytes{1, 1, 0xC0}, Bytes(33, 1), Bytes{1, 1, 0x42, 0xC0}}, noon);
    EXPECT_EQ(added.sightings, 1);
    ASSERT_EQ(model.tagCount(), 1);
    EXPECT_EQ(model.cellText(0, CTagListModel::Length), "01");
}

TEST(TagListModel, ClearStartsNumberingAndMergingAfresh) {
    CTagListModel model(Kind::AnswerMode);
    model.addRecords({plainBody(epcA), plainBody({0x01, 0x02})}, noon);
    model.clear();
    EXPECT_EQ(model.tagCount(), 0);
    model.addRecords({plainBody({0x01, 0x02})}, later);
    EXPECT_EQ(row(model, 0).mid(0, 3), (QStringList{"001", "12:00:07", "0102"}));
    EXPECT_EQ(model.cellText(0, CTagListModel::Count), "1");
}

TEST(TagListModel, TemperatureInventoryKeepsTheLastValidReading) {
    CTagListModel model(Kind::TemperatureInventory);
    ASSERT_EQ(model.columnCount(), 8);
    model.addRecords({temperatureBody(epcA, 23.5f)}, noon);
    EXPECT_EQ(model.cellText(0, CTagListModel::Length), "04");
    EXPECT_EQ(model.cellText(0, CTagListModel::Temperature), "23.500000C");
    model.addRecords({temperatureBody(epcA, std::nullopt), temperatureBody(epcA, 150.0f)}, later);
    EXPECT_EQ(model.cellText(0, CTagListModel::Count), "3");
    EXPECT_EQ(model.cellText(0, CTagListModel::Temperature), "23.500000C");
    model.addRecords({temperatureBody(epcA, 24.0f)}, later);
    EXPECT_EQ(model.cellText(0, CTagListModel::Temperature), "24.000000C");
}

TEST(TagListModel, ActiveTemperatureShowsTheLatestReportAsItIs) {
    CTagListModel model(Kind::ActiveTemperature);
    model.addRecords({temperatureBody(epcA, 23.5f), temperatureBody(epcA, std::nullopt)}, noon);
    EXPECT_EQ(model.cellText(0, CTagListModel::Count), "2");
    EXPECT_EQ(model.cellText(0, CTagListModel::Temperature), "");
}

TEST(TagListModel, ActiveTableGrowsPastItsCapacityAndCountsEveryRecord) {
    CTagListModel model(Kind::ActiveRead);
    model.setMerging(false);  // active lists always merge
    std::vector<Bytes> batch;
    for (int tag = 0; tag < CTagListModel::activeCapacity + 10; ++tag)
        batch.push_back(plainBody({std::uint8_t(tag >> 8), std::uint8_t(tag)}));
    batch.push_back(plainBody({0x00, 0x00}));
    batch.push_back(Bytes{1, 1});  // no room for an EPC: counted, not stored
    model.addRecords(batch, noon);
    EXPECT_EQ(model.tagCount(), CTagListModel::activeCapacity + 10);
    EXPECT_EQ(model.reportCount(), CTagListModel::activeCapacity + 12);
    EXPECT_EQ(model.cellText(0, CTagListModel::Count), "2");
    model.clear();
    EXPECT_EQ(model.reportCount(), 0);
}

TEST(TagListModel, ColoursRowsByParity) {
    CTagListModel model(Kind::AnswerMode);
    model.addRecords({plainBody({0x01, 0x02}), plainBody({0x03, 0x04})}, noon);
    EXPECT_EQ(model.data(model.index(0, 2), Qt::BackgroundRole).value<QColor>(),
              QColor(191, 239, 255));
    EXPECT_EQ(model.data(model.index(1, 2), Qt::BackgroundRole).value<QColor>(), QColor(Qt::white));
    EXPECT_EQ(model.data(model.index(1, 2), Qt::ForegroundRole).value<QColor>(), QColor(Qt::black));
}

TEST(TagListModel, ColumnWidthsFollowTheListWidth) {
    EXPECT_EQ(CTagListModel::columnWidths(Kind::AnswerMode, 700),
              (QList<int>{70, 100, 220, 70, 70, 70, 100}));
    EXPECT_EQ(CTagListModel::columnWidths(Kind::TemperatureInventory, 800),
              (QList<int>{70, 100, 200, 70, 70, 70, 70, 130}));
    EXPECT_EQ(CTagListModel::columnWidths(Kind::ActiveTemperature, 800)[2], 220);
}

TEST(TagListModel, ShowsTheTitlesItIsGiven) {
    CTagListModel model(Kind::AnswerMode);
    model.setColumnTitles({"No", "Time", "EPC", "Len", "Ant", "Times", "RSSI", "Temp"});
    EXPECT_EQ(model.headerData(6, Qt::Horizontal).toString(), "RSSI");
    EXPECT_FALSE(model.headerData(7, Qt::Horizontal).isValid());
}

}  // namespace

namespace {

// An SGTIN-96 (the GS1 standard's own worked example), a GID-96 and an EPC that is no GS1
// identity.
const Bytes sgtin{0x30, 0x74, 0x25, 0x7B, 0xF7, 0x19, 0x4E, 0x40, 0x00, 0x00, 0x1A, 0x85};
const Bytes gid{0x35, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x20, 0x00, 0x00, 0x00, 0x03};
const Bytes plain{0xE2, 0x00, 0x00, 0x17, 0x22, 0x0B, 0x01, 0x23, 0x19, 0x50, 0x78, 0x9A};
const char *const sgtinUri = "urn:epc:id:sgtin:0614141.812345.6789";
const char *const gidUri = "urn:epc:id:gid:1.2.3";

Bytes bodyFor(Kind kind, const Bytes &epc) {
    return kind == Kind::TemperatureInventory || kind == Kind::ActiveTemperature
               ? temperatureBody(epc, 21.5f)
               : plainBody(epc);
}

QByteArray fileBytes(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The export files of the list as it is now.
std::vector<QByteArray> exportedFiles(const CTagListModel &model, const QString &folder) {
    const tagexport::Rows rows = tagexport::snapshot(model);
    const QStringList titles =
        CTagListModel::columnTitles([](Text key) { return QString::number(keyNumber(key)); });
    const QString text = folder + QStringLiteral("/list.txt");
    const QString csv = folder + QStringLiteral("/list.csv");
    QFile::remove(text);
    EXPECT_TRUE(tagexport::writeText(text, titles.mid(0, 6), rows).isEmpty());
    EXPECT_TRUE(tagexport::writeCsv(csv, rows).isEmpty());
    std::vector<QByteArray> files{fileBytes(text), fileBytes(csv)};
    for (const tagexport::Row &row : rows)
        files.push_back(QStringList(row.begin(), row.end()).join(u'|').toUtf8());
    return files;
}

// On every kind of list: the column shows the identity of GS1 EPCs and nothing for others,
// comes and goes after the fixed columns, and leaves them and the export as they were.
TEST(TagListModelGs1Column, IsOptionalAndLeavesTheFixedColumnsAndTheExportAlone) {
    QTemporaryDir folder;
    for (const Kind kind : {Kind::AnswerMode, Kind::TemperatureInventory, Kind::ActiveRead,
                            Kind::ActiveTemperature}) {
        SCOPED_TRACE(static_cast<int>(kind));
        CTagListModel model(kind);
        model.setColumnTitles(
            CTagListModel::columnTitles([](Text key) { return QString::number(keyNumber(key)); }));
        model.addRecords({bodyFor(kind, sgtin), bodyFor(kind, gid), bodyFor(kind, plain)}, noon);
        const int fixed = model.fixedColumnCount();
        ASSERT_EQ(model.columnCount(), fixed);
        EXPECT_FALSE(model.gs1Shown());
        const QStringList before[] = {row(model, 0), row(model, 1), row(model, 2)};
        QStringList titlesBefore;
        for (int column = 0; column < fixed; ++column)
            titlesBefore.append(model.headerData(column, Qt::Horizontal).toString());
        const std::vector<QByteArray> exportBefore = exportedFiles(model, folder.path());

        model.setGs1Shown(true);
        ASSERT_EQ(model.columnCount(), fixed + 1);
        EXPECT_EQ(model.gs1Column(), fixed);
        EXPECT_EQ(model.headerData(fixed, Qt::Horizontal).toString(),
                  QString::number(keyNumber(Text::Gs1Column)));
        const QStringList expected[] = {{sgtinUri}, {gidUri}, {QString()}};
        for (int index = 0; index < 3; ++index) {
            EXPECT_EQ(row(model, index), before[index] + expected[index]);
            EXPECT_EQ(model.data(model.index(index, fixed)).toString(), expected[index][0]);
        }
        for (int column = 0; column < fixed; ++column)
            EXPECT_EQ(model.headerData(column, Qt::Horizontal).toString(), titlesBefore[column]);
        EXPECT_EQ(exportedFiles(model, folder.path()), exportBefore);

        model.setGs1Shown(false);
        ASSERT_EQ(model.columnCount(), fixed);
        for (int index = 0; index < 3; ++index) EXPECT_EQ(row(model, index), before[index]);
        EXPECT_EQ(model.cellText(0, fixed), QString());
    }
}

}  // namespace

namespace {

// What a chart learns of a batch: each sighting's row, its tag (the first row of its EPC) and
// its numbers as decoded (antenna, RSSI, EPC), merged or not; never the cells' text.
TEST(TagListModel, WatchersLearnEachSightingsRowTagAndNumbers) {
    const Bytes epcB{0xE2, 0x00, 0x00, 0x18};
    struct Case {
        bool merging;
        std::vector<std::array<int, 4>> expected;  // row, tag, antenna, RSSI
    };
    const Case cases[] = {
        {true, {{0, 0, 1, 0xC0}, {1, 1, 2, 0xC1}, {0, 0, 3, 0xC2}}},
        {false, {{0, 0, 1, 0xC0}, {1, 1, 2, 0xC1}, {2, 0, 3, 0xC2}}},
    };
    for (const Case &test : cases) {
        CTagListModel model(Kind::AnswerMode);
        model.setMerging(test.merging);
        std::vector<std::array<int, 4>> seen;
        std::vector<Bytes> epcs;
        QObject::connect(&model, &CTagListModel::sightingsAdded, [&](const auto &sightings) {
            for (const CTagListModel::Sighting &sighting : sightings) {
                seen.push_back(
                    {sighting.row, sighting.tag, sighting.record.antenna, sighting.record.rssi});
                epcs.push_back(sighting.record.epc);
            }
        });
        EXPECT_TRUE(model.isWatched());
        model.addRecords(
            {plainBody(epcA, 1, 0xC0), plainBody(epcB, 2, 0xC1), plainBody(epcA, 3, 0xC2)}, noon);
        EXPECT_EQ(seen, test.expected) << test.merging;
        EXPECT_EQ(epcs, (std::vector<Bytes>{epcA, epcB, epcA}));
        EXPECT_EQ(model.firstRowOf(epcB), 1);
        EXPECT_EQ(model.epcOf(1), epcB);
        EXPECT_EQ(model.firstRowOf(Bytes{0xE2, 0x00, 0x00, 0x19}), -1);
        EXPECT_TRUE(model.epcOf(model.rowCount()).empty());
    }
}

// A sighting's temperature is its own reading, a number, also where the cell keeps an older
// one.
TEST(TagListModel, WatchersLearnEachSightingsTemperature) {
    CTagListModel model(Kind::TemperatureInventory);
    std::vector<std::optional<float>> readings;
    QObject::connect(&model, &CTagListModel::sightingsAdded, [&](const auto &sightings) {
        for (const CTagListModel::Sighting &sighting : sightings)
            readings.push_back(sighting.record.temperature);
    });
    model.addRecords({temperatureBody(epcA, 21.25f), temperatureBody(epcA, std::nullopt)}, noon);
    EXPECT_EQ(readings, (std::vector<std::optional<float>>{21.25f, std::nullopt}));
    EXPECT_EQ(model.cellText(0, CTagListModel::Temperature), "21.250000C");
}

}  // namespace
