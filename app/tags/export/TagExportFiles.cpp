#include "tags/export/TagExportFiles.h"

#include "kit/SafeFile.h"
#include "tags/CTagListModel.h"
#include "tags/export/CSpreadSheet.h"

#include <QAbstractItemModel>
#include <QFile>
#include <QStringEncoder>

namespace tagexport {

namespace {

const QStringList sheetHeader { QStringLiteral("Time"), QStringLiteral("TagID"),
    QStringLiteral("Length"), QStringLiteral("Ant"), QStringLiteral("Cnt"),
    QStringLiteral("RSSI") };

QStringList cellsOf(const Row &row)
{
    return QStringList(row.begin(), row.end());
}

QString csvField(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"'))
        && !text.contains(QLatin1Char('\r')) && !text.contains(QLatin1Char('\n')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString csvLine(const QStringList &cells)
{
    QStringList fields;
    fields.reserve(cells.size());
    for (const QString &cell : cells)
        fields.append(csvField(cell));
    return fields.join(QLatin1Char(',')) + QStringLiteral("\r\n");
}

} // namespace

const std::vector<FormatInfo> &formats()
{
    static const std::vector<FormatInfo> all {
        { Format::Workbook, QStringLiteral("Excel files(*.xlsx)"), QStringLiteral(".xlsx") },
        { Format::Text, QStringLiteral("TXT files(*.txt)"), QStringLiteral(".txt") },
        { Format::Csv, QStringLiteral("CSV files(*.csv)"), QStringLiteral(".csv") },
    };
    return all;
}

Rows snapshot(const QAbstractItemModel &list)
{
    Rows rows(static_cast<std::size_t>(list.rowCount()));
    for (std::size_t row = 0; row < rows.size(); ++row) {
        for (std::size_t cell = 0; cell < 6; ++cell) {
            const int column = CTagListModel::Time + static_cast<int>(cell);
            rows[row][cell] = list.data(list.index(static_cast<int>(row), column)).toString();
        }
    }
    return rows;
}

QString writeText(const QString &path, const QStringList &titles, const Rows &rows)
{
    QString text
        = QStringLiteral("%1  %2     %3                           %4    %5    %6    RSSI\r\n")
              .arg(titles.value(0), titles.value(1), titles.value(2), titles.value(3),
                  titles.value(4), titles.value(5));
    int number = 0;
    for (const Row &row : rows)
        text += QString::asprintf("%.4d  ", ++number) + cellsOf(row).join(QStringLiteral("   "))
            + QStringLiteral("\r\n");
    QStringEncoder toUtf16(QStringEncoder::Utf16LE);
    const QByteArray bytes = QByteArrayLiteral("\xFF\xFE") + QByteArray(toUtf16(text));

    QFile file;
    if (QString reason = safefile::open(file, path, safefile::Opening::Append); !reason.isEmpty())
        return reason;
    const qint64 formerSize = file.size();
    if (file.write(bytes) == bytes.size() && file.flush())
        return {};
    const QString reason = file.errorString();
    file.resize(formerSize);
    return reason;
}

QString writeWorkbook(const QString &path, const Rows &rows)
{
    CSpreadSheet sheet(path, QStringLiteral("sheet1"));
    sheet.BeginBatch();
    sheet.SetHeaderRow(sheetHeader);
    for (const Row &row : rows)
        sheet.AppendRow(cellsOf(row));
    return sheet.WriteOut() ? QString() : sheet.GetLastError().trimmed();
}

QString writeCsv(const QString &path, const Rows &rows)
{
    QString text = csvLine(sheetHeader);
    for (const Row &row : rows)
        text += csvLine(cellsOf(row));
    return safefile::replace(path, text.toUtf8());
}

QString write(Format format, const QString &path, const QStringList &titles, const Rows &rows)
{
    switch (format) {
    case Format::Workbook:
        return writeWorkbook(path, rows);
    case Format::Text:
        return writeText(path, titles, rows);
    case Format::Csv:
        return writeCsv(path, rows);
    }
    return {};
}

} // namespace tagexport
