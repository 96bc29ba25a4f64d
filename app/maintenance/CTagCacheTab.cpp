#include "maintenance/CTagCacheTab.h"

#include "kit/CMyFunc.h"
#include "kit/CShellPrompts.h"
#include "kit/SafeFile.h"
#include "maintenance/FileWork.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr std::size_t bytesPerRow = 16;

} // namespace

CTagCacheTab::CTagCacheTab(IMainWindowServices &services, QWidget *parent)
    : CPage(services, parent)
{
    setObjectName(QStringLiteral("CTagCacheTab"));
    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("cacheSummary"));
    m_hex = new QPlainTextEdit(this);
    m_hex->setObjectName(QStringLiteral("cacheHex"));
    m_hex->setReadOnly(true);
    m_hex->setAccessibleName(text(Text::TagCacheTab));
    m_hex->setFont(QFont(QStringLiteral("monospace")));

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(addBusyButton(
        m_busy, "readCacheButton", text(Text::ReadListButton), &CTagCacheTab::readCache));
    buttons->addWidget(addBusyButton(
        m_busy, "clearCacheButton", text(Text::ClearCacheButton), &CTagCacheTab::clearCache));
    buttons->addWidget(addBusyButton(
        m_busy, "exportCacheButton", text(Text::ExportFileButton), &CTagCacheTab::exportHex));
    buttons->addStretch(1);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(m_summary);
    layout->addWidget(m_hex, 1);
}

QString CTagCacheTab::hexRows(const Bytes &bytes)
{
    QString rows;
    for (std::size_t offset = 0; offset < bytes.size(); offset += bytesPerRow) {
        const auto count = static_cast<std::uint16_t>(std::min(bytesPerRow, bytes.size() - offset));
        rows += QStringLiteral("%1: ").arg(offset, 4, 16, QChar(u'0')).toUpper()
            + CMyFunc::bytesToSpacedHex(bytes.data() + offset, count).trimmed() + u'\n';
    }
    return rows;
}

QString CTagCacheTab::shownHex() const
{
    return m_hex->toPlainText();
}

void CTagCacheTab::logFailure()
{
    services().postLog(text(Text::MaintenanceFailed).arg(text(Text::TagCacheTab)));
}

void CTagCacheTab::readCache()
{
    runWhileBusy(
        m_busy, [](IReader &reader) { return reader.readCache(); },
        [this](std::optional<DeviceCache> cache) {
            if (!cache)
                return logFailure();
            const QString summary
                = text(Text::CacheRead).arg(cache->recordCount).arg(cache->bytes.size());
            m_summary->setText(summary);
            m_hex->setPlainText(hexRows(cache->bytes));
            services().postLog(summary);
        });
}

void CTagCacheTab::clearCache()
{
    if (!services().isConnected()
        || !services().prompts().confirm(
            text(Text::MessageBoxCaption), text(Text::ConfirmClearCache)))
        return;
    runWhileBusy(
        m_busy, [](IReader &reader) { return reader.clearCache(); },
        [this](bool cleared) {
            if (!cleared)
                return logFailure();
            m_summary->clear();
            m_hex->clear();
            services().postLog(text(Text::CacheCleared));
        });
}

void CTagCacheTab::exportHex()
{
    const QString path = services().prompts().chooseFileToSave(text(Text::FileChooserTitle),
        QStringLiteral("TagCache.txt"), QStringLiteral("Text (*.txt);;All files (*)"));
    if (path.isEmpty())
        return;
    runFileWork(
        this, services(), m_busy,
        [path, content = shownHex().toUtf8()] { return safefile::replace(path, content); },
        [this, path](QString problem) {
            services().postLog(problem.isEmpty() ? text(Text::FileSaved).arg(path)
                                                 : text(Text::FileFailed).arg(path, problem));
        });
}
