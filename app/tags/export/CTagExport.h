#pragma once

#include "reader/CCallQueue.h"
#include "tags/export/TagExportFiles.h"
#include "tags/export/TagExportPrompts.h"

#include <QObject>

#include <memory>
#include <thread>

class CBusyState;
class IMainWindowServices;
class QAbstractItemModel;
class QDateTime;

// The export button's procedure, one per tag page: asks for a file, takes the rows of the list
// as they are, writes the text file, workbook or CSV file on a thread of its own while the page
// shows its busy state, and reports a failure once in a message box. A workbook or CSV file
// replaces an existing file only when the operator agrees; nothing is written through a
// symbolic link. Nothing is shown on success and the list is never changed.
class CTagExport final : public QObject {
    Q_OBJECT

public:
    // `page` hosts the dialogs; `busy` is the page's busy state, held while the file is written.
    // Without `prompts`, Qt dialogs over the page.
    CTagExport(QWidget *page, IMainWindowServices &services, CBusyState &busy,
        std::unique_ptr<ITagExportPrompts> prompts = nullptr);
    // Waits for a file being written.
    ~CTagExport() override;

    // The export button: `list` is the page's tag list (a CTagListModel). Ignored while a file
    // is still being written. User-interface thread only.
    void run(const QAbstractItemModel &list);
    bool isRunning() const { return m_running; }
    void setPrompts(std::unique_ptr<ITagExportPrompts> prompts) { m_prompts = std::move(prompts); }

    // "OutPutID" and the time, e.g. OutPutID20240131235959.
    static QString initialName(const QDateTime &now);

private:
    // Refuses a symbolic link at path and asks before a workbook or CSV file replaces an
    // existing file; false when nothing is to be written.
    bool mayWrite(tagexport::Format format, const QString &path);
    void finish(const QString &path, const QString &reason);
    void showFailure(const QString &path, const QString &reason);

    IMainWindowServices &m_services;
    CBusyState &m_busy;
    std::unique_ptr<ITagExportPrompts> m_prompts;
    bool m_running = false;
    std::thread m_writer;
    CCallQueue m_finished;
};
