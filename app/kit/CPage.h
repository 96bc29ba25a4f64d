#pragma once

#include "kit/IReader.h"
#include "text_keys.h"

#include <QWidget>

class IMainWindowServices;

// Base of every page the tab control shows. A page is created once, at start-up, and lives
// until the program ends. The tab control calls the two hooks: stopWork() on pages that may
// be running an inventory, a writer loop or an active read when the operator switches tabs or
// the connection closes, and readParameters() on parameter pages when they come into view.
// Pages without such work keep the empty defaults.
//
// Pages set their captions from the text table in their constructor; the tab control then
// gives every control an accessible name from its caption or its label (see CAccessible).
class CPage : public QWidget
{
    Q_OBJECT

public:
    CPage(IMainWindowServices &services, QWidget *parent);

    virtual void stopWork() {}
    virtual void readParameters() {}
    // After a device profile import: shows a record just written to the reader in the page's
    // controls as if it had just been read. Pages that show none of the records ignore it.
    virtual void showWrittenRecord(RecordKind /*kind*/, const ParamRecord & /*record*/) {}

protected:
    IMainWindowServices &services() const { return m_services; }
    QString text(Text key) const;
    // The language text, or the layout's own caption while no language file supplies it.
    QString caption(Text key, const char *layoutCaption) const;
    // By key number, for the pages that still name their texts by number.
    QString text(int key) const;
    QString caption(int key, const char *layoutCaption) const;

private:
    IMainWindowServices &m_services;
};
