#pragma once

#include "kit/CBusyState.h"
#include "kit/IMainWindowServices.h"
#include "reader/CReaderWorker.h"
#include "reader/IReader.h"
#include "text_keys.h"

#include <QPushButton>
#include <QWidget>

#include <utility>

// Base of every page the tab control shows. A page is created once, at start-up, and lives
// until the program ends. The tab control calls the two hooks: stopWork() on pages that may
// be running an inventory, a writer loop or an active read when the operator switches tabs or
// the connection closes, and readParameters() on parameter pages when they come into view.
// Pages without such work keep the empty defaults.
//
// Pages set their captions from the text table in their constructor; the tab control then
// gives every control an accessible name from its caption or its label (see kit/Accessible.h).
// A part of a page that runs reader operations of its own (the tag access controls) is a
// CPage too, for the same services.
class CPage : public QWidget {
    Q_OBJECT

public:
    CPage(IMainWindowServices &services, QWidget *parent);

    virtual void stopWork() { }
    virtual void readParameters() { }
    // After a device profile import: shows a record just written to the reader in the page's
    // controls as if it had just been read. Pages that show none of the records ignore it.
    virtual void showWrittenRecord(RecordKind /*kind*/, const ParamRecord & /*record*/) { }

protected:
    IMainWindowServices &services() const { return m_services; }
    QString text(Text key) const;
    // The language text, or the layout's own caption while no language file supplies it.
    QString caption(Text key, const char *layoutCaption) const;
    // Posts the language text of the key to the message log.
    void log(Text key);

    // A button of the page named `name` that the busy state disables while an operation runs.
    QPushButton *addBusyButton(CBusyState &busy, const char *name, const QString &caption);
    // The same, and a click runs the page's operation.
    template <typename Page>
    QPushButton *addBusyButton(
        CBusyState &busy, const char *name, const QString &caption, void (Page::*operation)())
    {
        QPushButton *button = addBusyButton(busy, name, caption);
        connect(button, &QPushButton::clicked, static_cast<Page *>(this), operation);
        return button;
    }

    // The way every operation of a page reaches the reader: nothing while the main window is
    // not connected (false); otherwise job(reader) runs on the reader worker with the page
    // shown busy, then done(result) on the user-interface thread while the page exists.
    template <typename Job, typename Done> bool runWhileBusy(CBusyState &busy, Job job, Done done)
    {
        if (!m_services.isConnected())
            return false;
        busy.begin();
        m_services.worker().submit(
            this, std::move(job), [&busy, done = std::move(done)](auto... result) mutable {
                busy.end();
                done(std::move(result)...);
            });
        return true;
    }

private:
    IMainWindowServices &m_services;
};
