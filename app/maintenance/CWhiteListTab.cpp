#include "maintenance/CWhiteListTab.h"

#include "kit/Accessible.h"
#include "kit/CShellPrompts.h"
#include "kit/SafeFile.h"
#include "maintenance/FileWork.h"

#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <iterator>
#include <optional>

namespace {

// A list file of the most entries a reader can hold is under 600 KiB.
constexpr qint64 largestListFile = 4 * 1024 * 1024;
const QString listFilter = QStringLiteral("Text (*.txt);;All files (*)");

struct FileOutcome {
    whitelist::ParsedList parsed;
    QString problem; // the file could not be read or written
};

FileOutcome readListFile(const QString &path)
{
    FileOutcome outcome;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        outcome.problem = file.errorString();
        return outcome;
    }
    if (file.size() > largestListFile) {
        outcome.problem = QStringLiteral("larger than %1 bytes").arg(largestListFile);
        return outcome;
    }
    const QByteArray bytes = file.readAll();
    outcome.parsed = whitelist::parseList(std::string_view(bytes.constData(), bytes.size()));
    outcome.problem = QString::fromStdString(outcome.parsed.problem);
    return outcome;
}

} // namespace

CWhiteListTab::CWhiteListTab(IMainWindowServices &services, QWidget *parent)
    : CPage(services, parent)
{
    setObjectName(QStringLiteral("CWhiteListTab"));
    buildControls();
}

void CWhiteListTab::buildControls()
{
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("whiteList"));
    m_list->setAccessibleName(text(Text::WhiteListTab));
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_entryField = new QLineEdit(this);
    m_entryField->setObjectName(QStringLiteral("entryField"));
    m_entryField->setMaxLength(8);
    auto *entryLabel = new QLabel(text(Text::EntryLabel), this);
    entryLabel->setObjectName(QStringLiteral("entryLabel"));
    accessible::labelField(entryLabel, m_entryField);

    // Two buttons a row, in this order.
    struct ListButton {
        const char *name;
        Text caption;
        void (CWhiteListTab::*operation)();
    };
    const ListButton listButtons[] = {
        { "readListButton", Text::ReadListButton, &CWhiteListTab::readList },
        { "writeListButton", Text::WriteListButton, &CWhiteListTab::writeList },
        { "deleteEntryButton", Text::DeleteEntryButton, &CWhiteListTab::deleteSelected },
        { "deleteAllButton", Text::DeleteAllButton, &CWhiteListTab::deleteAll },
        { "importListButton", Text::ImportButton, &CWhiteListTab::importFile },
        { "exportListButton", Text::ExportFileButton, &CWhiteListTab::exportFile },
    };
    auto *buttons = new QGridLayout;
    for (int index = 0; index < static_cast<int>(std::size(listButtons)); ++index) {
        const ListButton &button = listButtons[index];
        buttons->addWidget(
            addBusyButton(m_busy, button.name, text(button.caption), button.operation), index / 2,
            index % 2);
    }
    auto *entryRow = new QHBoxLayout;
    entryRow->addWidget(entryLabel);
    entryRow->addWidget(m_entryField, 1);
    entryRow->addWidget(addBusyButton(
        m_busy, "addEntryButton", text(Text::AddEntryButton), &CWhiteListTab::addEntry));
    m_busy.addControl(m_entryField);

    auto *note = new QLabel(text(Text::WhiteListNote), this);
    note->setObjectName(QStringLiteral("whiteListNote"));
    note->setWordWrap(true);
    auto *side = new QVBoxLayout;
    side->addLayout(entryRow);
    side->addLayout(buttons);
    side->addWidget(note);
    side->addStretch(1);
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addLayout(side, 1);
}

std::vector<whitelist::Entry> CWhiteListTab::shownEntries() const
{
    std::vector<whitelist::Entry> entries;
    entries.reserve(static_cast<std::size_t>(m_list->count()));
    for (int row = 0; row < m_list->count(); ++row) {
        if (const auto entry = whitelist::parseEntry(m_list->item(row)->text().toStdString()))
            entries.push_back(*entry);
    }
    return entries;
}

void CWhiteListTab::showEntries(const std::vector<whitelist::Entry> &entries)
{
    QStringList texts;
    texts.reserve(static_cast<qsizetype>(entries.size()));
    for (const whitelist::Entry &entry : entries)
        texts.append(QString::fromStdString(whitelist::entryText(entry)));
    m_list->clear();
    m_list->addItems(texts);
}

void CWhiteListTab::logFailure()
{
    services().postLog(text(Text::MaintenanceFailed).arg(text(Text::WhiteListTab)));
}

void CWhiteListTab::readList()
{
    runWhileBusy(
        m_busy,
        [](IReader &reader) {
            return whitelist::readAll(
                [&reader](std::uint16_t start) { return reader.readWhiteList(start); });
        },
        [this](std::optional<std::vector<whitelist::Entry>> entries) {
            if (!entries)
                return logFailure();
            showEntries(*entries);
            services().postLog(text(Text::WhiteListRead).arg(entries->size()));
        });
}

void CWhiteListTab::addEntry()
{
    const std::optional<whitelist::Entry> entry
        = whitelist::parseEntry(m_entryField->text().toStdString());
    if (!entry)
        return services().prompts().inform(
            text(Text::MessageBoxCaption), text(Text::NotEntry).arg(m_entryField->text()));
    runWhileBusy(
        m_busy,
        [entry = *entry](IReader &reader) {
            return reader.writeWhiteList({ &entry, 1 });
        },
        [this, entry = *entry](bool written) {
            if (!written)
                return logFailure();
            const QString shown = QString::fromStdString(whitelist::entryText(entry));
            if (m_list->findItems(shown, Qt::MatchExactly).isEmpty())
                m_list->addItem(shown);
            m_entryField->clear();
            services().postLog(text(Text::WhiteListWritten).arg(1).arg(1));
        });
}

void CWhiteListTab::deleteSelected()
{
    std::vector<whitelist::Entry> chosen;
    for (const QListWidgetItem *item : m_list->selectedItems()) {
        if (const auto entry = whitelist::parseEntry(item->text().toStdString()))
            chosen.push_back(*entry);
    }
    if (chosen.empty())
        return;
    runWhileBusy(
        m_busy,
        [chosen](IReader &reader) {
            std::vector<whitelist::Entry> deleted;
            for (const whitelist::Entry &entry : chosen) {
                if (!reader.deleteWhiteListEntry(entry))
                    break;
                deleted.push_back(entry);
            }
            return deleted;
        },
        [this, wanted = chosen.size()](std::vector<whitelist::Entry> deleted) {
            for (const whitelist::Entry &entry : deleted) {
                const QString shown = QString::fromStdString(whitelist::entryText(entry));
                for (QListWidgetItem *item : m_list->findItems(shown, Qt::MatchExactly))
                    delete item;
                services().postLog(text(Text::WhiteListEntryDeleted).arg(shown));
            }
            if (deleted.size() < wanted)
                logFailure();
        });
}

void CWhiteListTab::deleteAll()
{
    if (!services().isConnected()
        || !services().prompts().confirm(
            text(Text::MessageBoxCaption), text(Text::ConfirmDeleteAll)))
        return;
    runWhileBusy(
        m_busy, [](IReader &reader) { return reader.clearWhiteList(); },
        [this](bool cleared) {
            if (!cleared)
                return logFailure();
            m_list->clear();
            services().postLog(text(Text::WhiteListCleared));
        });
}

void CWhiteListTab::writeList()
{
    const std::vector<whitelist::Entry> entries = shownEntries();
    if (entries.empty())
        return;
    struct Written {
        std::size_t frames = 0;
        std::size_t frameCount = 0;
    };
    runWhileBusy(
        m_busy,
        [entries](IReader &reader) {
            const auto frames = whitelist::writeFrames(entries);
            Written written { 0, frames.size() };
            for (const auto &frame : frames) {
                if (!reader.writeWhiteList(frame))
                    break;
                ++written.frames;
            }
            return written;
        },
        [this, count = entries.size()](Written written) {
            if (written.frames < written.frameCount)
                return services().postLog(text(Text::WhiteListWriteFailed)
                                              .arg(written.frames + 1)
                                              .arg(written.frameCount));
            services().postLog(text(Text::WhiteListWritten).arg(count).arg(written.frameCount));
        });
}

void CWhiteListTab::importFile()
{
    const QString path = services().prompts().chooseFileToOpen(QString(), listFilter);
    if (path.isEmpty())
        return;
    runFileWork(
        this, services(), m_busy, [path] { return readListFile(path); },
        [this, path](FileOutcome outcome) {
            if (!outcome.problem.isEmpty())
                return services().postLog(text(Text::FileFailed).arg(path, outcome.problem));
            showEntries(outcome.parsed.entries);
            services().postLog(
                text(Text::EntriesImported).arg(outcome.parsed.entries.size()).arg(path));
        });
}

void CWhiteListTab::exportFile()
{
    const QString path = services().prompts().chooseFileToSave(
        text(Text::FileChooserTitle), QStringLiteral("WhiteList.txt"), listFilter);
    if (path.isEmpty())
        return;
    runFileWork(
        this, services(), m_busy,
        [path, entries = shownEntries()] {
            const std::string content = whitelist::listText(entries);
            return safefile::replace(
                path, QByteArray(content.data(), static_cast<qsizetype>(content.size())));
        },
        [this, path](QString problem) {
            services().postLog(problem.isEmpty() ? text(Text::FileSaved).arg(path)
                                                 : text(Text::FileFailed).arg(path, problem));
        });
}
