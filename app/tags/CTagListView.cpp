#include "tags/CTagListView.h"

#include "kit/IMainWindowServices.h"
#include "kit/ToolWindow.h"
#include "tags/CLocateWindow.h"
#include "tags/CTagChartWindow.h"
#include "tags/CTagListModel.h"

#include <QAction>
#include <QHeaderView>
#include <QMenu>

CTagListView::CTagListView(IMainWindowServices &services, CTagListModel &model, QWidget *parent)
    : CMyListCtrl(parent)
    , m_services(services)
    , m_model(model)
{
    setModel(&model);
    m_gs1 = new QAction(services.text(Text::Gs1Column), this);
    m_gs1->setObjectName(QStringLiteral("gs1Action"));
    m_gs1->setCheckable(true);
    connect(m_gs1, &QAction::toggled, this, &CTagListView::setGs1Shown);
    m_locate = new QAction(services.text(Text::LocateAction), this);
    m_locate->setObjectName(QStringLiteral("locateAction"));
    connect(m_locate, &QAction::triggered, this, &CTagListView::locateSelected);

    m_headerMenu = new QMenu(this);
    m_headerMenu->setObjectName(QStringLiteral("headerMenu"));
    m_headerMenu->setAccessibleName(services.text(Text::Gs1Column));
    m_headerMenu->addAction(m_gs1);
    // The list's own menu holds the switch too: the header takes no keyboard focus, the
    // list does (menu key).
    m_rowMenu = new QMenu(this);
    m_rowMenu->setObjectName(QStringLiteral("rowMenu"));
    m_rowMenu->setAccessibleName(services.text(Text::LocateAction));
    m_rowMenu->addAction(m_locate);
    m_rowMenu->addSeparator();
    m_rowMenu->addAction(m_gs1);

    horizontalHeader()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(horizontalHeader(), &QWidget::customContextMenuRequested, this,
        [this](const QPoint &position) {
            m_headerMenu->popup(horizontalHeader()->viewport()->mapToGlobal(position));
        });
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this, &CTagListView::showRowMenu);
    followGs1Setting();
}

// The windows are top-level: they go with the list.
CTagListView::~CTagListView()
{
    delete m_chart;
    delete m_locator;
}

CTagChartWindow *CTagListView::chart() const
{
    return m_chart;
}

CLocateWindow *CTagListView::locator() const
{
    return m_locator;
}

void CTagListView::followGs1Setting()
{
    m_gs1->setChecked(m_services.gs1Column());
    m_model.setGs1Shown(m_gs1->isChecked());
}

void CTagListView::setGs1Shown(bool shown)
{
    m_model.setGs1Shown(shown);
    if (shown)
        setColumnWidth(m_model.gs1Column(), fontMetrics().horizontalAdvance(u'0') * 42);
    if (shown != m_services.gs1Column())
        m_services.setGs1Column(shown);
}

void CTagListView::showRowMenu(const QPoint &position)
{
    m_locate->setEnabled(selectionModel()->hasSelection());
    m_rowMenu->popup(viewport()->mapToGlobal(position));
}

void CTagListView::openChart()
{
    if (!m_chart)
        m_chart = new CTagChartWindow(m_services, m_model, *selectionModel());
    toolwindow::showBeside(*m_chart, *this);
}

void CTagListView::locateSelected()
{
    const QModelIndexList rows = selectionModel()->selectedRows();
    if (rows.isEmpty())
        return;
    if (!m_locator)
        m_locator = new CLocateWindow(m_services, m_model);
    m_locator->follow(m_model.epcOf(rows.first().row()));
    toolwindow::showBeside(*m_locator, *this);
}
