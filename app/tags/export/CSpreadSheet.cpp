#include "tags/export/CSpreadSheet.h"

#include "kit/SafeFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <xlsxwriter.h>

#include <algorithm>

namespace {

// Cells are text columns of 255 characters, as in the original sheet.
constexpr int maxCellLength = 255;

} // namespace

CSpreadSheet::CSpreadSheet(const QString &filePath, const QString &sheetName)
    : m_filePath(filePath)
    , m_sheetName(sheetName)
{
}

void CSpreadSheet::BeginBatch()
{
    m_batch = true;
}

bool CSpreadSheet::SetHeaderRow(const QStringList &fields)
{
    for (const QString &field : fields) {
        if (m_header.contains(field))
            return fail(QStringLiteral("Duplicate header row field:%1\n").arg(field));
    }
    m_header += fields;
    return true;
}

bool CSpreadSheet::AppendRow(const QStringList &values)
{
    if (m_header.isEmpty())
        return fail(QStringLiteral("No header row. Add header row first\n"));
    if (values.size() > m_header.size())
        return fail(QStringLiteral(
            "Number of columns to be added cannot be greater than the number of fields\n"));
    QStringList cells;
    cells.reserve(values.size());
    for (const QString &value : values)
        cells.append(value.left(maxCellLength));
    m_rows.push_back(std::move(cells));
    return m_batch || WriteOut();
}

bool CSpreadSheet::WriteOut()
{
    m_batch = false;
    // libxlsxwriter writes to a file name; the workbook is built in a private folder first so
    // that it never opens the destination itself, which is then replaced whole (and never
    // through a link).
    QTemporaryDir scratch;
    if (!scratch.isValid())
        return fail(QStringLiteral("Error writing file\n%1").arg(scratch.errorString()));
    const QString built = scratch.filePath(QStringLiteral("sheet.xlsx"));
    const QByteArray builtName = QFile::encodeName(built);
    const QByteArray scratchName = QFile::encodeName(scratch.path());

    lxw_workbook_options options {};
    options.tmpdir = const_cast<char *>(scratchName.constData());
    lxw_workbook *workbook = workbook_new_opt(builtName.constData(), &options);
    if (workbook == nullptr)
        return fail(QStringLiteral("Error in opening file\n"));
    lxw_worksheet *sheet = workbook_add_worksheet(workbook, m_sheetName.toUtf8().constData());

    std::vector<int> widths(static_cast<std::size_t>(m_header.size()), 0);
    const auto writeRow = [&](lxw_row_t row, const QStringList &cells) {
        for (int column = 0; column < cells.size(); ++column) {
            worksheet_write_string(sheet, row, static_cast<lxw_col_t>(column),
                cells[column].toUtf8().constData(), nullptr);
            int &width = widths[static_cast<std::size_t>(column)];
            width = std::max(width, static_cast<int>(cells[column].size()));
        }
    };
    writeRow(0, m_header);
    lxw_row_t row = 1;
    for (const QStringList &cells : m_rows)
        writeRow(row++, cells);
    // Wide enough to read the longest text of each column, EPCs included.
    for (std::size_t column = 0; column < widths.size(); ++column)
        worksheet_set_column(sheet, static_cast<lxw_col_t>(column), static_cast<lxw_col_t>(column),
            widths[column] + 2.0, nullptr);

    const lxw_error closed = workbook_close(workbook);
    if (closed != LXW_NO_ERROR)
        return fail(QStringLiteral("Error writing file\n%1").arg(lxw_strerror(closed)));

    QFile source(built);
    if (!source.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("Error writing file\n%1").arg(source.errorString()));
    if (const QString reason = safefile::replace(m_filePath, source.readAll()); !reason.isEmpty())
        return fail(QStringLiteral("Error writing file\n%1").arg(reason));
    return true;
}

bool CSpreadSheet::fail(const QString &error)
{
    m_lastError = error;
    return false;
}
