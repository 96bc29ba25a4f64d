#include "tags/CDlgActiveRead.h"

#include "kit/Accessible.h"
#include "kit/IMainWindowServices.h"
#include "tags/CTagListView.h"
#include "tags/export/CTagExportButton.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTime>
#include <QVBoxLayout>

#include <cmath>
#include <span>

CDlgActiveRead::CDlgActiveRead(IMainWindowServices &services, QWidget *parent)
    : CDlgActiveRead(services, parent, CTagListModel::Kind::ActiveRead)
{
}

CDlgActiveRead::CDlgActiveRead(
    IMainWindowServices &services, QWidget *parent, CTagListModel::Kind kind)
    : CPage(services, parent)
    , m_model(kind)
{
    setObjectName(QStringLiteral("CDlgActiveRead"));
    buildLayout();
    applyTexts();
    showCounts();
    showState();
    connect(&services.events(), &CReaderEvents::reportsArrived, this, &CDlgActiveRead::takeReports);
}

CDlgActiveRead::~CDlgActiveRead()
{
    // Closing the page leaves no callback behind, whatever its state.
    services().events().setReportsReceiver(nullptr);
}

void CDlgActiveRead::buildLayout()
{
    m_list = new CTagListView(services(), m_model, this);
    m_list->setObjectName(QStringLiteral("tagList"));
    m_tagCountLabel = new QLabel(this);
    m_tagCount = new QLineEdit(this);
    m_tagCount->setObjectName(QStringLiteral("tagCountField"));
    m_reportCountLabel = new QLabel(this);
    m_reportCount = new QLineEdit(this);
    m_reportCount->setObjectName(QStringLiteral("reportCountField"));
    for (QLineEdit *field : { m_tagCount, m_reportCount })
        field->setReadOnly(true);
    m_rateLabel = new CReadRateLabel(this);
    m_start = new QPushButton(this);
    m_start->setObjectName(QStringLiteral("startButton"));
    m_stop = new QPushButton(this);
    m_stop->setObjectName(QStringLiteral("stopButton"));
    m_clear = new QPushButton(this);
    m_clear->setObjectName(QStringLiteral("clearButton"));
    m_export = new QPushButton(this);
    m_export->setObjectName(QStringLiteral("exportButton"));
    m_exportProcedure = new CTagExportButton(this, m_export, services(), m_model);
    m_note = new QLabel(this);
    m_note->setObjectName(QStringLiteral("noteLabel"));
    m_note->setWordWrap(true);
    m_chart = new QPushButton(this);
    m_chart->setObjectName(QStringLiteral("chartButton"));

    auto *controls = new QGridLayout;
    controls->addWidget(m_tagCountLabel, 0, 0);
    controls->addWidget(m_tagCount, 0, 1);
    controls->addWidget(m_reportCountLabel, 0, 2);
    controls->addWidget(m_reportCount, 0, 3);
    controls->addWidget(m_rateLabel, 0, 4);
    controls->setColumnStretch(5, 1);
    // At the far end of the counts' row, where no other control stands.
    controls->addWidget(m_chart, 0, 5, Qt::AlignRight);
    controls->addWidget(m_start, 1, 0);
    controls->addWidget(m_stop, 1, 1);
    controls->addWidget(m_clear, 1, 2);
    controls->addWidget(m_export, 1, 3);
    controls->addWidget(m_note, 1, 4, 1, 2);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addLayout(controls);

    connect(m_start, &QPushButton::clicked, this, &CDlgActiveRead::start);
    connect(m_stop, &QPushButton::clicked, this, &CDlgActiveRead::stop);
    connect(m_clear, &QPushButton::clicked, this, &CDlgActiveRead::clearList);
    connect(m_chart, &QPushButton::clicked, m_list, &CTagListView::openChart);
}

void CDlgActiveRead::applyTexts()
{
    const QStringList titles = CTagListModel::columnTitles([this](Text key) { return text(key); });
    m_model.setColumnTitles(titles);
    m_list->setAccessibleName(titles.mid(0, m_model.fixedColumnCount()).join(u' '));
    m_tagCountLabel->setText(text(Text::TagCountLabel));
    m_reportCountLabel->setText(text(Text::ReportCountLabel));
    accessible::labelField(m_tagCountLabel, m_tagCount);
    accessible::labelField(m_reportCountLabel, m_reportCount);
    m_start->setText(text(Text::ActiveStart));
    m_stop->setText(text(Text::ActiveStop));
    m_clear->setText(text(Text::ClearButton));
    m_export->setText(text(Text::ExportButton));
    m_note->setText(text(Text::NoteLabel));
    // The note says what the rate's two figures are, in the operator's language.
    m_rateLabel->setExplanation(text(Text::NoteLabel));
    m_chart->setText(text(Text::ChartButton));
}

void CDlgActiveRead::showEvent(QShowEvent *event)
{
    CPage::showEvent(event);
    m_list->followGs1Setting();
    if (m_widthsSet)
        return;
    m_widthsSet = true;
    m_list->setColumnWidths(CTagListModel::columnWidths(m_model.kind(), m_list->widthForColumns()));
}

void CDlgActiveRead::start()
{
    if (!services().isConnected())
        return;
    clearList();
    services().postLog(text(Text::ActiveStart));
    services().events().setReportsReceiver(this);
    m_running = true;
    m_rateLabel->setRunning(true);
    showState();
}

void CDlgActiveRead::stop()
{
    if (!m_running)
        return;
    // The library keeps one callback: this removes it for the other active page too.
    services().events().setReportsReceiver(nullptr);
    m_running = false;
    m_rateLabel->setRunning(false);
    showState();
    services().postLog(text(Text::ActiveStop));
}

void CDlgActiveRead::stopWork()
{
    stop();
}

void CDlgActiveRead::clearList()
{
    m_model.clear();
    m_rateLabel->setRunning(m_running);
    showCounts();
}

void CDlgActiveRead::takeReports(const QList<CActiveReport> &reports)
{
    std::vector<tagrecord::Bytes> bodies;
    for (const CActiveReport &report : reports) {
        if (report.receiver != this)
            continue;
        const auto *bytes = reinterpret_cast<const std::uint8_t *>(report.records.constData());
        std::vector<tagrecord::Bytes> walked
            = tagrecord::walk(std::span(bytes, static_cast<std::size_t>(report.records.size())),
                tagrecord::reportRecordBytes(report.length));
        std::move(walked.begin(), walked.end(), std::back_inserter(bodies));
    }
    if (bodies.empty())
        return;
    const CTagListModel::BatchResult result = m_model.addRecords(bodies, QTime::currentTime());
    m_rateLabel->add(static_cast<int>(bodies.size()), result.newRows);
    if (result.lastNewRow >= 0)
        m_list->scrollTo(m_model.index(result.lastNewRow, 0));
    showCounts();
}

void CDlgActiveRead::showCounts()
{
    m_tagCount->setText(QString::number(m_model.tagCount()));
    m_reportCount->setText(QString::number(m_model.reportCount()));
}

void CDlgActiveRead::showState()
{
    m_start->setEnabled(!m_running);
    m_stop->setEnabled(m_running);
}
