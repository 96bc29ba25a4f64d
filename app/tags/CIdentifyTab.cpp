#include "tags/CIdentifyTab.h"

#include "kit/Accessible.h"
#include "kit/IMainWindowServices.h"
#include "tags/CReadRate.h"
#include "tags/CTagAccess.h"
#include "tags/CTagListView.h"
#include "tags/export/CTagExportButton.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <chrono>

namespace {

constexpr int intervalStepMs = 10;

} // namespace

CIdentifyTab::CIdentifyTab(IMainWindowServices &services, QWidget *parent)
    : CIdentifyTab(services, parent, CTagListModel::Kind::AnswerMode)
{
}

CIdentifyTab::CIdentifyTab(IMainWindowServices &services, QWidget *parent, CTagListModel::Kind kind)
    : CPage(services, parent)
    , m_tags(kind)
    , m_loop([this](CInventoryLoop::Batch batch) { addBatch(std::move(batch)); })
{
    setObjectName(QStringLiteral("CIdentifyTab"));
    m_tags.setColumnTitles(CTagListModel::columnTitles([this](Text key) { return text(key); }));
    buildLayout();
    showRunning(false);
}

// Closing the page ends its worker without the stop's log line.
CIdentifyTab::~CIdentifyTab() = default;

void CIdentifyTab::buildLayout()
{
    m_list = new CTagListView(services(), m_tags, this);
    m_list->setObjectName(QStringLiteral("tagList"));
    m_list->setAccessibleName(QStringLiteral("Tag list"));
    m_access = new CTagAccess(services(), this);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addWidget(buildControlRow());
    layout->addWidget(m_access);
    m_access->addBusyControl(m_startButton);
}

QWidget *CIdentifyTab::buildControlRow()
{
    auto *row = new QWidget(this);
    m_count = new QLineEdit(QStringLiteral("0"), row);
    m_count->setObjectName(QStringLiteral("tagCount"));
    m_count->setReadOnly(true);
    m_count->setMaximumWidth(80);
    auto *countLabel = new QLabel(caption(Text::TagCountLabel, "标签数量:"), row);
    accessible::labelField(countLabel, m_count);
    m_rate = new CReadRateLabel(row);
    m_rate->setExplanation(text(Text::ReadRateExplanation));

    m_interval = new QComboBox(row);
    m_interval->setObjectName(QStringLiteral("interval"));
    for (int entry = 0; entry < intervalCount; ++entry)
        m_interval->addItem(QStringLiteral("%1ms").arg((entry + 1) * intervalStepMs));
    m_interval->setCurrentIndex(initialInterval);
    auto *intervalLabel = new QLabel(caption(Text::InventoryIntervalLabel, "询查间隔:"), row);
    accessible::labelField(intervalLabel, m_interval);

    m_filter = new QCheckBox(caption(Text::FilterCheck, "过滤"), row);
    m_filter->setObjectName(QStringLiteral("filter"));
    m_filter->setChecked(true);
    connect(m_filter, &QCheckBox::toggled, this, [this](bool on) { m_tags.setMerging(on); });

    const auto button = [&](Text key, const char *layoutCaption, const char *name) {
        auto *created = new QPushButton(caption(key, layoutCaption), row);
        created->setObjectName(QString::fromLatin1(name));
        return created;
    };
    m_startButton = button(Text::StartInventoryButton, "开始读卡", "startButton");
    m_stopButton = button(Text::StopInventoryButton, "停止读卡", "stopButton");
    m_clearButton = button(Text::ClearButton, "清空", "clearButton");
    m_exportButton = button(Text::ExportButton, "导出数据", "exportButton");
    m_export = new CTagExportButton(this, m_exportButton, services(), m_tags);
    m_chartButton = new QPushButton(text(Text::ChartButton), row);
    m_chartButton->setObjectName(QStringLiteral("chartButton"));
    connect(m_chartButton, &QPushButton::clicked, m_list, &CTagListView::openChart);
    connect(m_startButton, &QPushButton::clicked, this, &CIdentifyTab::start);
    connect(m_stopButton, &QPushButton::clicked, this, [this] { stopWork(); });
    connect(m_clearButton, &QPushButton::clicked, this, &CIdentifyTab::clear);

    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    for (QWidget *widget : std::initializer_list<QWidget *> { countLabel, m_count, m_rate })
        layout->addWidget(widget);
    layout->addSpacing(16);
    for (QWidget *widget : std::initializer_list<QWidget *> { intervalLabel, m_interval, m_filter })
        layout->addWidget(widget);
    // In the free room before the right-aligned buttons, so no other control moves.
    layout->addSpacing(16);
    layout->addWidget(m_chartButton);
    layout->addStretch();
    for (QPushButton *widget : { m_startButton, m_stopButton, m_clearButton, m_exportButton })
        layout->addWidget(widget);
    return row;
}

void CIdentifyTab::showEvent(QShowEvent *event)
{
    CPage::showEvent(event);
    m_list->followGs1Setting();
    // Widths follow the list's width when the page is first laid out.
    if (!m_widthsSet && m_list->width() > 0) {
        m_list->setColumnWidths(
            CTagListModel::columnWidths(m_tags.kind(), m_list->widthForColumns()));
        m_widthsSet = true;
    }
}

void CIdentifyTab::start()
{
    if (!services().isConnected() || m_loop.isRunning())
        return;
    m_tags.setMerging(m_filter->isChecked());
    clearNow();
    services().postLog(text(Text::InventoryStarted));
    m_loop.start(services().reader(), interval());
    showRunning(true);
}

std::chrono::milliseconds CIdentifyTab::interval() const
{
    return std::chrono::milliseconds((m_interval->currentIndex() + 1) * intervalStepMs);
}

void CIdentifyTab::stop()
{
    if (!m_loop.isRunning())
        return;
    // A clear the worker has not taken up yet is not lost.
    if (m_loop.stop())
        clearNow();
    showRunning(false);
    services().postLog(text(Text::InventoryStopped));
}

void CIdentifyTab::stopWork()
{
    stop();
}

void CIdentifyTab::clear()
{
    if (m_loop.isRunning())
        m_loop.requestClear();
    else
        clearNow();
}

void CIdentifyTab::clearNow()
{
    m_tags.clear();
    m_count->setText(QStringLiteral("0"));
}

void CIdentifyTab::addBatch(CInventoryLoop::Batch batch)
{
    if (batch.clearFirst)
        clearNow();
    const CTagListModel::BatchResult added = m_tags.addRecords(batch.records, QTime::currentTime());
    m_rate->add(added.sightings, added.newRows);
    if (added.newRows == 0)
        return;
    m_count->setText(QString::number(m_tags.tagCount()));
    m_list->scrollTo(m_tags.index(added.lastNewRow, 0));
}

void CIdentifyTab::showRunning(bool running)
{
    m_startButton->setEnabled(!running);
    m_stopButton->setEnabled(running);
    m_access->setButtonsEnabled(!running);
    m_rate->setRunning(running);
}
