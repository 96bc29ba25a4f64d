#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <vector>

class QAbstractItemModel;

// The three files a tag list is exported to, written from a snapshot of its rows so that the
// writing can run off the user-interface thread. Each writer returns an empty text on success,
// otherwise the reason; a failed writer leaves nothing half-written behind, and none writes
// through a symbolic link at the path.
namespace tagexport {

// Columns 1 to 6 of a tag list row: time, EPC, length, antenna, count, RSSI.
using Row = std::array<QString, 6>;
using Rows = std::vector<Row>;

// In the order of the chooser's filters.
enum class Format { Workbook, Text, Csv };

struct FormatInfo {
    Format format;
    QString filter;
    QString extension;
};
const std::vector<FormatInfo> &formats();

// The rows of a tag list (a CTagListModel) as they are now. User-interface thread only.
Rows snapshot(const QAbstractItemModel &list);

// Appends to a UTF-16LE text file: the byte-order mark, the header line from `titles` (the
// titles of list columns 0 to 5), one numbered line per row. On failure the file is cut back to
// its former length.
QString writeText(const QString &path, const QStringList &titles, const Rows &rows);
// A workbook with one sheet "sheet1"; an existing file is replaced.
QString writeWorkbook(const QString &path, const Rows &rows);
// UTF-8 comma-separated values after RFC 4180, the workbook's header names; an existing file is
// replaced.
QString writeCsv(const QString &path, const Rows &rows);

QString write(Format format, const QString &path, const QStringList &titles, const Rows &rows);

} // namespace tagexport
