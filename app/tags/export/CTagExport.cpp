#include "tags/export/CTagExport.h"

#include "kit/CBusyState.h"
#include "kit/IMainWindowServices.h"
#include "kit/SafeFile.h"
#include "tags/CTagListModel.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <algorithm>

CTagExport::CTagExport(QWidget *page, IMainWindowServices &services, CBusyState &busy,
    std::unique_ptr<ITagExportPrompts> prompts)
    : m_services(services)
    , m_busy(busy)
    , m_prompts(prompts ? std::move(prompts) : std::make_unique<CWidgetExportPrompts>(page))
{
}

CTagExport::~CTagExport()
{
    if (m_writer.joinable())
        m_writer.join();
}

QString CTagExport::initialName(const QDateTime &now)
{
    return QStringLiteral("OutPutID") + now.toString(QStringLiteral("yyyyMMddHHmmss"));
}

void CTagExport::run(const QAbstractItemModel &list)
{
    if (m_running)
        return;
    QStringList filters;
    for (const tagexport::FormatInfo &info : tagexport::formats())
        filters.append(info.filter);
    const std::optional<ITagExportPrompts::Choice> choice
        = m_prompts->chooseFile(m_services.text(Text::FileChooserTitle),
            QDir::current().filePath(initialName(QDateTime::currentDateTime())), filters);
    if (!choice)
        return;
    const tagexport::FormatInfo &info = tagexport::formats().at(static_cast<std::size_t>(
        std::clamp(choice->filter, 0, static_cast<int>(tagexport::formats().size()) - 1)));
    // The extension is appended whatever the name already ends in.
    const QString path = choice->path + info.extension;
    if (!mayWrite(info.format, path))
        return;
    QStringList titles;
    for (const Text title : CTagListModel::leadingTitleTexts)
        titles.append(m_services.text(title));

    if (m_writer.joinable())
        m_writer.join();
    m_running = true;
    m_busy.begin();
    m_writer
        = std::thread([this, format = info.format, path, titles, rows = tagexport::snapshot(list)] {
              const QString reason = tagexport::write(format, path, titles, rows);
              // The writer ends before this export goes, and the call is dropped with it.
              m_finished.post([this, path, reason] { finish(path, reason); });
          });
}

bool CTagExport::mayWrite(tagexport::Format format, const QString &path)
{
    // Refused before asking to replace what the link points at; the writer refuses a link
    // that appears later.
    if (const QString refusal = safefile::linkRefusal(path); !refusal.isEmpty()) {
        showFailure(path, refusal);
        return false;
    }
    // The text file is appended to; the others replace an existing file, which the operator
    // agrees to first.
    if (format == tagexport::Format::Text || !QFileInfo::exists(path))
        return true;
    return m_prompts->confirm(m_services.text(Text::MessageBoxCaption),
        tr("%1 already exists.\nDo you want to replace it?").arg(QDir::toNativeSeparators(path)));
}

void CTagExport::finish(const QString &path, const QString &reason)
{
    m_running = false;
    m_busy.end();
    if (!reason.isEmpty())
        showFailure(path, reason);
}

void CTagExport::showFailure(const QString &path, const QString &reason)
{
    m_prompts->showFailure(m_services.text(Text::MessageBoxCaption),
        QStringLiteral("%1\n%2\n%3")
            .arg(m_services.text(Text::OperationFailed), QDir::toNativeSeparators(path), reason));
}
