#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// The sheet writer of the workbook export, with the operations the export uses. One object per
// export: rows are held in memory and WriteOut writes the whole workbook (one sheet, every cell
// text) through libxlsxwriter. The file is replaced whole and only when it is complete, so a
// failure leaves an existing file as it was.
class CSpreadSheet {
public:
    // The backup flag of the original writer has nothing to back up here: the file is never
    // read, so the sheet starts empty.
    CSpreadSheet(const QString &filePath, const QString &sheetName);

    // Row changes stay in memory until WriteOut.
    void BeginBatch();
    // The first call sets the header fields (row 1); later calls add fields after them.
    bool SetHeaderRow(const QStringList &fields);
    // Appends a data row; writes out at once unless a batch is open.
    bool AppendRow(const QStringList &values);
    // Writes the whole sheet and ends the batch; false with the reason in GetLastError().
    bool WriteOut();

    QString GetLastError() const { return m_lastError; }

private:
    bool fail(const QString &error);

    QString m_filePath;
    QString m_sheetName;
    QStringList m_header;
    // Data rows, without the header row.
    std::vector<QStringList> m_rows;
    bool m_batch = false;
    QString m_lastError;
};
