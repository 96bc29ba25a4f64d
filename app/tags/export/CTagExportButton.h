#pragma once

#include "kit/CBusyState.h"
#include "tags/export/CTagExport.h"

class QAbstractItemModel;
class QPushButton;

// A tag page's export button: a click exports the page's list; the button is disabled while
// the file is written. Owned by the button.
class CTagExportButton final : public QObject {
    Q_OBJECT

public:
    // `page` shows the busy cursor and hosts the dialogs.
    CTagExportButton(QWidget *page, QPushButton *button, IMainWindowServices &services,
        const QAbstractItemModel &list);

    CTagExport &procedure() { return m_export; }

private:
    CBusyState m_busy;
    CTagExport m_export;
};
