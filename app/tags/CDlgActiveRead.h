#pragma once

#include "kit/CPage.h"
#include "reader/CReaderEvents.h"
#include "tags/CReadRate.h"
#include "tags/CTagListModel.h"

#include <QList>

class CTagExportButton;
class CTagListView;
class QLabel;
class QLineEdit;
class QPushButton;

// The active read page: while started it holds the library's application callback and merges
// every tag the reader reports by itself into its tag list, counting the records handed over.
// It sends no command: whether the reader reports is its work mode. The two active pages share
// the library's one callback slot through CReaderEvents: starting one moves the reports to it,
// stopping either removes the callback for both.
class CDlgActiveRead : public CPage {
    Q_OBJECT

public:
    CDlgActiveRead(IMainWindowServices &services, QWidget *parent);
    ~CDlgActiveRead() override;

    void stopWork() override;

    bool isRunning() const { return m_running; }
    const CTagListModel &tagList() const { return m_model; }
    CTagListView &listView() const { return *m_list; }

protected:
    CDlgActiveRead(IMainWindowServices &services, QWidget *parent, CTagListModel::Kind kind);
    void showEvent(QShowEvent *event) override;

private:
    void buildLayout();
    void applyTexts();
    void start();
    void stop();
    void clearList();
    void takeReports(const QList<CActiveReport> &reports);
    void showCounts();
    void showState();

    CTagListModel m_model;
    bool m_running = false;
    bool m_widthsSet = false;
    CTagListView *m_list = nullptr;
    QLabel *m_tagCountLabel = nullptr;
    QLineEdit *m_tagCount = nullptr;
    QLabel *m_reportCountLabel = nullptr;
    QLineEdit *m_reportCount = nullptr;
    CReadRateLabel *m_rateLabel = nullptr;
    QPushButton *m_start = nullptr;
    QPushButton *m_stop = nullptr;
    QPushButton *m_clear = nullptr;
    QPushButton *m_export = nullptr;
    QPushButton *m_chart = nullptr;
    CTagExportButton *m_exportProcedure = nullptr;
    QLabel *m_note = nullptr;
};
