#pragma once

#include "kit/CPage.h"
#include "tags/CInventoryLoop.h"
#include "tags/CTagListModel.h"

class CReadRateLabel;
class CTagAccess;
class CTagExportButton;
class CTagListView;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

// The answer-mode inventory page: Start polls the reader for the tags in its field on the
// page's own inventory thread and shows them, merged and counted, in the tag list; the lower
// half reads, writes and re-numbers single tags. The temperature inventory page is this page
// with a temperature column.
class CIdentifyTab : public CPage {
    Q_OBJECT

public:
    static constexpr int intervalCount = 25;
    static constexpr int initialInterval = 3;

    CIdentifyTab(IMainWindowServices &services, QWidget *parent);
    ~CIdentifyTab() override;

    // Tab change and Close stop a running inventory; so does the stop button, which does
    // whatever stopWork() does on pages built on this one.
    void stopWork() override;

    void start();
    void stop();
    void clear();
    bool isRunning() const { return m_loop.isRunning(); }
    // The pause before each inventory call, from the interval list.
    std::chrono::milliseconds interval() const;
    CTagAccess &tagAccess() const { return *m_access; }
    CTagListView &listView() const { return *m_list; }

protected:
    CIdentifyTab(IMainWindowServices &services, QWidget *parent, CTagListModel::Kind kind);
    void showEvent(QShowEvent *event) override;
    QPushButton *startButton() const { return m_startButton; }
    QPushButton *stopButton() const { return m_stopButton; }

private:
    void buildLayout();
    QWidget *buildControlRow();
    void addBatch(CInventoryLoop::Batch batch);
    void clearNow();
    void showRunning(bool running);

    CTagListModel m_tags;
    CTagListView *m_list = nullptr;
    QLineEdit *m_count = nullptr;
    CReadRateLabel *m_rate = nullptr;
    QComboBox *m_interval = nullptr;
    QCheckBox *m_filter = nullptr;
    QPushButton *m_startButton = nullptr;
    QPushButton *m_stopButton = nullptr;
    QPushButton *m_clearButton = nullptr;
    QPushButton *m_exportButton = nullptr;
    QPushButton *m_chartButton = nullptr;
    CTagExportButton *m_export = nullptr;
    CTagAccess *m_access = nullptr;
    bool m_widthsSet = false;
    // Declared last, so it goes first: its worker ends before the rest of the page.
    CInventoryLoop m_loop;
};
