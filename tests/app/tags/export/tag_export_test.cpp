// The tag list export on real files: the text file byte for byte in both languages, appending,
// the appended extension, the workbook read back by openpyxl, the CSV file parsed back, and
// failures that are shown once and write nothing.
#include "kit/CBusyState.h"
#include "kit/CMyListCtrl.h"
#include "page_test_kit.h"
#include "tags/CDlgActiveTemp.h"
#include "tags/CDlgIdentifyTemp.h"
#include "tags/CDlgWriter.h"
#include "tags/CTagListModel.h"
#include "tags/export/CTagExport.h"
#include "tags/export/CTagExportButton.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QPushButton>

#include <QRegularExpression>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QWidget>
#include <functional>

#include <gtest/gtest.h>

namespace {

using tagrecord::Bytes;
using Format = tagexport::Format;

const QTime noon(12, 0, 1);

Bytes plainBody(const Bytes &epc, std::uint8_t antenna, std::uint8_t rssi) {
    Bytes body{1, antenna};
    body.insert(body.end(), epc.begin(), epc.end());
    body.push_back(rssi);
    return body;
}

// Three tags; the second EPC starts with zeros.
const std::vector<Bytes> threeTags{
    plainBody({0xE2, 0x00, 0x00, 0x17}, 1, 0xC0),
    plainBody({0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xAB}, 2, 0xB5),
    plainBody({0x30, 0x08, 0x33, 0xB2, 0xDD, 0xD9, 0x01, 0x40}, 4, 0x9F),
};

// Columns 1 to 6 of threeTags after one sighting each.
const std::vector<QStringList> threeRows{
    {"12:00:01", "E2000017", "04", "01", "1", "C0"},
    {"12:00:01", "0000000000000000000000AB", "0C", "02", "1", "B5"},
    {"12:00:01", "300833B2DDD90140", "08", "04", "1", "9F"},
};

QStringList expectedRow(int index) {
    return threeRows[static_cast<std::size_t>(index)];
}

class CTestPrompts final : public ITagExportPrompts {
  public:
    std::optional<Choice> answer;
    bool confirmAnswer = true;
    QString title;
    QString initialPath;
    QStringList filters;
    QStringList confirmations;
    QStringList failures;

    std::optional<Choice> chooseFile(const QString &chooserTitle, const QString &initial,
                                     const QStringList &offered) override {
        title = chooserTitle;
        initialPath = initial;
        filters = offered;
        return answer;
    }
    bool confirm(const QString &caption, const QString &body) override {
        confirmations.append(caption + QLatin1Char('|') + body);
        return confirmAnswer;
    }
    void showFailure(const QString &caption, const QString &body) override {
        failures.append(caption + QLatin1Char('|') + body);
    }
};

// A page with its busy state, its tag list and its export.
struct ExportFixture {
    explicit ExportFixture(const QString &language = QStringLiteral("English"))
        : window(reader, nullptr, language) {
        auto owned = std::make_unique<CTestPrompts>();
        prompts = owned.get();
        exporter = std::make_unique<CTagExport>(&page, window, busy, std::move(owned));
        busy.setControls({&exportButton});
    }

    // Exports to `path` with the filter of `format`; true when the export finished.
    bool exportTo(const QString &path, Format format) {
        prompts->answer = ITagExportPrompts::Choice{path, static_cast<int>(format)};
        exporter->run(list);
        const bool wasBusy = busy.isBusy() && !exportButton.isEnabled();
        return wasBusy && pagetest::waitUntil([&] { return !exporter->isRunning(); }) &&
               !busy.isBusy() && exportButton.isEnabled();
    }

    pagetest::CScriptedReader reader;
    pagetest::CFakeMainWindow window;
    QWidget page;
    QWidget exportButton{&page};
    CBusyState busy{&page};
    CTagListModel list{CTagListModel::Kind::AnswerMode};
    CTestPrompts *prompts = nullptr;
    std::unique_ptr<CTagExport> exporter;
};

QByteArray utf16(const QString &text) {
    QStringEncoder encoder(QStringEncoder::Utf16LE);
    return QByteArray(encoder(text));
}

QByteArray readAll(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray expectedText(const QString &header, int rows) {
    QString text = header;
    for (int index = 0; index < rows; ++index)
        text += QStringLiteral("%1  ").arg(index + 1, 4, 10, QLatin1Char('0')) +
                expectedRow(index).join(QStringLiteral("   ")) + QStringLiteral("\r\n");
    return QByteArrayLiteral("\xFF\xFE") + utf16(text);
}

struct TextCase {
    const char *language;
    int rows;
    const char *header;
};

class TextFile : public ::testing::TestWithParam<TextCase> {};

TEST_P(TextFile, IsByteForByteTheMarkTheHeaderAndOneLinePerRow) {
    const TextCase &c = GetParam();
    ExportFixture fixture{QString::fromUtf8(c.language)};
    fixture.list.addRecords({threeTags.begin(), threeTags.begin() + c.rows}, noon);
    QTemporaryDir folder;
    const QString chosen = folder.filePath(QStringLiteral("tags"));
    const QByteArray once = expectedText(QString::fromUtf8(c.header), c.rows);

    ASSERT_TRUE(fixture.exportTo(chosen, Format::Text));
    EXPECT_EQ(readAll(chosen + ".txt"), once);
    // A second export appends a second mark, header and set of lines.
    ASSERT_TRUE(fixture.exportTo(chosen, Format::Text));
    EXPECT_EQ(readAll(chosen + ".txt"), once + once);
    EXPECT_TRUE(fixture.prompts->confirmations.isEmpty());
    EXPECT_TRUE(fixture.prompts->failures.isEmpty());
    EXPECT_EQ(fixture.list.rowCount(), c.rows);
}

INSTANTIATE_TEST_SUITE_P(
    Languages, TextFile,
    ::testing::Values(
        TextCase{
            "English", 0,
            "No.  Time     EPC                           Length    Antenna    Count    RSSI\r\n"},
        TextCase{
            "English", 3,
            "No.  Time     EPC                           Length    Antenna    Count    RSSI\r\n"},
        TextCase{"Chinese", 0,
                 "序号  时间     EPC                           长度    天线    次数    RSSI\r\n"},
        TextCase{"Chinese", 3,
                 "序号  时间     EPC                           长度    天线    次数    RSSI\r\n"}));

TEST(TagExport, OffersTheChooserInTheWorkingDirectory) {
    ExportFixture fixture;
    fixture.prompts->answer.reset();
    fixture.exporter->run(fixture.list);
    EXPECT_FALSE(fixture.exporter->isRunning());
    EXPECT_FALSE(fixture.busy.isBusy());
    EXPECT_EQ(fixture.prompts->title, fixture.window.text(1024));
    EXPECT_EQ(fixture.prompts->filters,
              (QStringList{"Excel files(*.xlsx)", "TXT files(*.txt)", "CSV files(*.csv)"}));
    const QFileInfo initial(fixture.prompts->initialPath);
    EXPECT_EQ(initial.absolutePath(), QDir::current().absolutePath());
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^OutPutID\\d{14}$"))
                    .match(initial.fileName())
                    .hasMatch())
        << initial.fileName().toStdString();
    EXPECT_EQ(CTagExport::initialName(QDateTime(QDate(2024, 1, 31), QTime(23, 59, 59))),
              "OutPutID20240131235959");
}

TEST(TagExport, AppendsTheExtensionAlsoWhenTheNameEndsInIt) {
    struct Case {
        Format format;
        const char *written;
    };
    for (const Case &c :
         {Case{Format::Text, "tags.txt.txt"}, Case{Format::Workbook, "tags.txt.xlsx"},
          Case{Format::Csv, "tags.txt.csv"}}) {
        ExportFixture fixture;
        QTemporaryDir folder;
        const QString existing = folder.filePath(QStringLiteral("tags.txt"));
        QFile file(existing);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("kept");
        file.close();
        ASSERT_TRUE(fixture.exportTo(existing, c.format));
        EXPECT_TRUE(QFileInfo::exists(folder.filePath(QString::fromUtf8(c.written)))) << c.written;
        EXPECT_EQ(readAll(existing), "kept");
    }
}

TEST(TagExport, WithoutMergingEverySightingIsANumberedLine) {
    ExportFixture fixture;
    fixture.list.setMerging(false);
    fixture.list.addRecords({threeTags[0], threeTags[0], threeTags[0]}, noon);
    QTemporaryDir folder;
    ASSERT_TRUE(fixture.exportTo(folder.filePath(QStringLiteral("tags")), Format::Text));
    // The file's UTF-16 text after its byte-order mark; it has no terminating zero.
    const QByteArray bytes = readAll(folder.filePath("tags.txt"));
    const QString text = QString::fromUtf16(
        reinterpret_cast<const char16_t *>(bytes.constData() + 2), (bytes.size() - 2) / 2);
    const QStringList lines = text.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4);
    for (int index = 1; index <= 3; ++index)
        EXPECT_EQ(lines[index],
                  QStringLiteral("000%1  12:00:01   E2000017   04   01   1   C0").arg(index));
}

QJsonObject readWorkbook(const QString &path) {
    QProcess reader;
    reader.start(QStringLiteral(TAGBENCH_SYSTEM_PYTHON3),
                 {QStringLiteral(TAGBENCH_READ_WORKBOOK), path});
    if (!reader.waitForFinished(-1) || reader.exitCode() != 0) {
        ADD_FAILURE() << reader.readAllStandardError().toStdString();
        return {};
    }
    return QJsonDocument::fromJson(reader.readAllStandardOutput()).object();
}

TEST(TagExport, WorkbookHoldsOneSheetOfTextsAndReplacesAnExistingFile) {
    ExportFixture fixture;
    fixture.list.addRecords(threeTags, noon);
    QTemporaryDir folder;
    const QString chosen = folder.filePath(QStringLiteral("book"));
    // An older export of the same name, then junk in its place: both are replaced whole once
    // the operator agrees.
    ASSERT_TRUE(fixture.exportTo(chosen, Format::Workbook));
    QFile junk(chosen + ".xlsx");
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly | QIODevice::Truncate));
    junk.write("not a workbook");
    junk.close();
    ASSERT_TRUE(fixture.exportTo(chosen, Format::Workbook));

    const QJsonObject book = readWorkbook(chosen + ".xlsx");
    EXPECT_EQ(book["sheets"].toArray(), QJsonArray({"sheet1"}));
    const QJsonArray rows = book["rows"].toArray();
    ASSERT_EQ(rows.size(), 4);
    std::vector<QStringList> expected{{"Time", "TagID", "Length", "Ant", "Cnt", "RSSI"}};
    for (int index = 0; index < 3; ++index) expected.push_back(expectedRow(index));
    for (int row = 0; row < 4; ++row) {
        const QJsonArray cells = rows[row].toArray();
        ASSERT_EQ(cells.size(), 6) << row;
        for (int column = 0; column < 6; ++column) {
            const QJsonObject cell = cells[column].toObject();
            EXPECT_EQ(cell["value"].toString(), expected[static_cast<std::size_t>(row)][column]);
            EXPECT_TRUE(cell["text"].toBool()) << row << "," << column;
        }
    }
    // The EPC column is wide enough for the longest EPC.
    EXPECT_GE(book["widths"].toArray()[1].toDouble(), 24.0);
    EXPECT_EQ(fixture.prompts->confirmations.size(), 1);
    EXPECT_TRUE(fixture.prompts->failures.isEmpty());
}

// A minimal RFC 4180 reader, independent of the writer.
std::vector<QStringList> parseCsv(const QString &text) {
    std::vector<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    for (qsizetype at = 0; at < text.size(); ++at) {
        const QChar c = text[at];
        if (quoted) {
            if (c == '"' && at + 1 < text.size() && text[at + 1] == '"')
                field += text[++at];
            else if (c == '"')
                quoted = false;
            else
                field += c;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            row.append(std::exchange(field, {}));
        } else if (c == '\r' && at + 1 < text.size() && text[at + 1] == '\n') {
            ++at;
            row.append(std::exchange(field, {}));
            rows.push_back(std::exchange(row, {}));
        } else {
            field += c;
        }
    }
    return rows;
}

TEST(TagExport, CsvParsesBackCellForCell) {
    ExportFixture fixture;
    fixture.list.addRecords(threeTags, noon);
    QTemporaryDir folder;
    ASSERT_TRUE(fixture.exportTo(folder.filePath(QStringLiteral("list")), Format::Csv));
    const QByteArray bytes = readAll(folder.filePath(QStringLiteral("list.csv")));
    EXPECT_FALSE(bytes.startsWith("\xEF\xBB\xBF"));
    std::vector<QStringList> expected{{"Time", "TagID", "Length", "Ant", "Cnt", "RSSI"}};
    for (int index = 0; index < 3; ++index) expected.push_back(expectedRow(index));
    EXPECT_EQ(parseCsv(QString::fromUtf8(bytes)), expected);
    // The EPC of leading zeros is the text itself, not a number.
    EXPECT_TRUE(bytes.contains("\r\n12:00:01,0000000000000000000000AB,0C,"));
}

TEST(TagExport, CsvQuotesWhatRfc4180Requires) {
    const tagexport::Rows rows{{"a,b", "say \"hi\"", "two\r\nlines", "plain", "", "é"}};
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("quoted.csv"));
    ASSERT_EQ(tagexport::writeCsv(path, rows), QString());
    const QByteArray bytes = readAll(path);
    EXPECT_TRUE(bytes.endsWith("\"a,b\",\"say \"\"hi\"\"\",\"two\r\nlines\",plain,,\xC3\xA9\r\n"));
    EXPECT_EQ(parseCsv(QString::fromUtf8(bytes))[1], QStringList(rows[0].begin(), rows[0].end()));
}

TEST(TagExport, AFailingWriteIsShownOnceAndWritesNothing) {
    QTemporaryDir folder;
    const QStringList unwritable{QStringLiteral("/dev/null/x"),
                                 folder.filePath(QStringLiteral("missing/x"))};
    for (const Format format : {Format::Text, Format::Workbook, Format::Csv}) {
        for (const QString &chosen : unwritable) {
            ExportFixture fixture;
            fixture.list.addRecords(threeTags, noon);
            ASSERT_TRUE(fixture.exportTo(chosen, format));
            const QString written =
                chosen + tagexport::formats()[static_cast<std::size_t>(format)].extension;
            ASSERT_EQ(fixture.prompts->failures.size(), 1) << written.toStdString();
            const QString failure = fixture.prompts->failures.constFirst();
            EXPECT_TRUE(failure.startsWith(fixture.window.text(1019) + "|" +
                                           fixture.window.text(1022) + "\n" + written + "\n"))
                << failure.toStdString();
            // A reason follows the path.
            EXPECT_GT(failure.section(QLatin1Char('\n'), 2).size(), 0) << failure.toStdString();
            EXPECT_FALSE(QFileInfo::exists(written));
            EXPECT_EQ(fixture.list.rowCount(), 3);
        }
    }
    EXPECT_TRUE(QDir(folder.path()).isEmpty());
}

// A workbook or CSV export onto an existing file asks once: declined, the file stays as it was
// and nothing runs; accepted, the file is replaced.
TEST(TagExport, ReplacingAnExistingFileIsAskedFirst) {
    struct Case {
        Format format;
        bool accepted;
        QByteArray replacedStart;
    };
    for (const Case &c : {Case{Format::Workbook, false, {}}, Case{Format::Workbook, true, "PK"},
                          Case{Format::Csv, false, {}}, Case{Format::Csv, true, "Time,TagID"}}) {
        const QString extension =
            tagexport::formats()[static_cast<std::size_t>(c.format)].extension;
        SCOPED_TRACE(extension.toStdString() + (c.accepted ? " accepted" : " declined"));
        ExportFixture fixture;
        fixture.list.addRecords(threeTags, noon);
        fixture.prompts->confirmAnswer = c.accepted;
        QTemporaryDir folder;
        const QString chosen = folder.filePath(QStringLiteral("tags"));
        const QByteArray old("an older file");
        QFile file(chosen + extension);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(old);
        file.close();

        if (c.accepted) {
            ASSERT_TRUE(fixture.exportTo(chosen, c.format));
            EXPECT_TRUE(readAll(chosen + extension).startsWith(c.replacedStart));
        } else {
            fixture.prompts->answer = ITagExportPrompts::Choice{chosen, static_cast<int>(c.format)};
            fixture.exporter->run(fixture.list);
            EXPECT_FALSE(fixture.exporter->isRunning());
            EXPECT_FALSE(fixture.busy.isBusy());
            EXPECT_EQ(readAll(chosen + extension), old);
        }
        ASSERT_EQ(fixture.prompts->confirmations.size(), 1);
        EXPECT_EQ(fixture.prompts->confirmations[0],
                  fixture.window.text(1019) + "|" + chosen + extension +
                      " already exists.\nDo you want to replace it?");
        EXPECT_TRUE(fixture.prompts->failures.isEmpty());
        EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList{"tags" + extension});
    }
}

// No export writes through a symbolic link at the chosen path, whether the link points at a
// file or at nothing: the refusal is shown once, nothing is asked, and the link and what it
// points at stay as they were. The writers refuse a link on their own too (one that appears
// after the export looked).
TEST(TagExport, NothingIsWrittenThroughASymbolicLink) {
    const QByteArray targetBytes("the file the link points at");
    for (const Format format : {Format::Text, Format::Workbook, Format::Csv}) {
        const QString extension = tagexport::formats()[static_cast<std::size_t>(format)].extension;
        for (const bool dangling : {false, true}) {
            SCOPED_TRACE(extension.toStdString() + (dangling ? ", dangling link" : ", link"));
            ExportFixture fixture;
            fixture.list.addRecords(threeTags, noon);
            QTemporaryDir folder;
            const QString target = folder.filePath(QStringLiteral("target"));
            if (!dangling) {
                QFile file(target);
                ASSERT_TRUE(file.open(QIODevice::WriteOnly));
                file.write(targetBytes);
            }
            const QString chosen = folder.filePath(QStringLiteral("tags"));
            const QString link = chosen + extension;
            ASSERT_TRUE(QFile::link(target, link));

            fixture.prompts->answer = ITagExportPrompts::Choice{chosen, static_cast<int>(format)};
            fixture.exporter->run(fixture.list);
            EXPECT_FALSE(fixture.exporter->isRunning());
            ASSERT_EQ(fixture.prompts->failures.size(), 1);
            EXPECT_TRUE(fixture.prompts->failures[0].startsWith(
                fixture.window.text(1019) + "|" + fixture.window.text(1022) + "\n" + link + "\n"));
            EXPECT_TRUE(fixture.prompts->failures[0].contains("symbolic link"));
            EXPECT_TRUE(fixture.prompts->confirmations.isEmpty());

            const QString reason =
                tagexport::write(format, link, {}, tagexport::snapshot(fixture.list));
            EXPECT_TRUE(reason.contains("symbolic link")) << reason.toStdString();

            EXPECT_EQ(QFileInfo(link).symLinkTarget(), target);
            if (dangling)
                EXPECT_FALSE(QFileInfo::exists(target));
            else
                EXPECT_EQ(readAll(target), targetBytes);
            EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::System).size(),
                      dangling ? 1 : 2);
        }
    }
}

// Each tag page's export button writes that page's own list.
TEST(TagExport, EveryTagPageExportsItsOwnList) {
    using Factory = std::function<std::unique_ptr<CPage>(IMainWindowServices &)>;
    const std::vector<std::pair<const char *, Factory>> pages{
        {"inventory",
         [](IMainWindowServices &s) { return std::make_unique<CIdentifyTab>(s, nullptr); }},
        {"temperature inventory",
         [](IMainWindowServices &s) { return std::make_unique<CDlgIdentifyTemp>(s, nullptr); }},
        {"active",
         [](IMainWindowServices &s) { return std::make_unique<CDlgActiveRead>(s, nullptr); }},
        {"active temperature",
         [](IMainWindowServices &s) { return std::make_unique<CDlgActiveTemp>(s, nullptr); }},
        {"writer", [](IMainWindowServices &s) { return std::make_unique<CDlgWriter>(s, nullptr); }},
    };
    for (const auto &[name, create] : pages) {
        SCOPED_TRACE(name);
        pagetest::CScriptedReader reader;
        pagetest::CFakeMainWindow window(reader);
        const std::unique_ptr<CPage> page = create(window);
        auto *list = qobject_cast<CTagListModel *>(
            page->findChild<CMyListCtrl *>(QStringLiteral("tagList"))->model());
        ASSERT_NE(list, nullptr);
        list->addRecords(threeTags, noon);
        auto *button = page->findChild<QPushButton *>(QStringLiteral("exportButton"));
        ASSERT_TRUE(button->isEnabled());
        CTagExport &procedure = button->findChild<CTagExportButton *>()->procedure();
        QTemporaryDir folder;
        auto prompts = std::make_unique<CTestPrompts>();
        prompts->answer = ITagExportPrompts::Choice{folder.filePath("tags"), int(Format::Text)};
        procedure.setPrompts(std::move(prompts));

        button->click();
        EXPECT_FALSE(button->isEnabled());
        ASSERT_TRUE(pagetest::waitUntil([&] { return !procedure.isRunning(); }));
        EXPECT_TRUE(button->isEnabled());
        EXPECT_EQ(
            readAll(folder.filePath("tags.txt")),
            expectedText(QStringLiteral("No.  Time     EPC                           Length    "
                                        "Antenna    Count    RSSI\r\n"),
                         3));
    }
}

}  // namespace
