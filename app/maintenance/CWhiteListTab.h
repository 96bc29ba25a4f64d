#pragma once

#include "kit/CBusyState.h"
#include "kit/CPage.h"
#include "white_list.h"

#include <vector>

class QLineEdit;
class QListWidget;
class QPushButton;

// The maintenance window's white list tab: the reader's list read into a list of entries
// (8 hex digits each), one entry added or the selected ones deleted on the reader, the whole
// list deleted, and the shown list written (in frames of at most 387 entries) or moved through
// a text file with one entry per line. Reader calls run on the reader worker, file work off the
// user-interface thread.
class CWhiteListTab final : public CPage {
    Q_OBJECT

public:
    CWhiteListTab(IMainWindowServices &services, QWidget *parent);

    void readList();
    void addEntry();
    void deleteSelected();
    void deleteAll();
    void writeList();
    void importFile();
    void exportFile();

    // The entries shown, in order.
    std::vector<whitelist::Entry> shownEntries() const;
    bool isBusy() const { return m_busy.isBusy(); }

private:
    void buildControls();
    void showEntries(const std::vector<whitelist::Entry> &entries);
    void logFailure();

    CBusyState m_busy { this };
    QListWidget *m_list = nullptr;
    QLineEdit *m_entryField = nullptr;
};
