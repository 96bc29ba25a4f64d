#pragma once

#include "kit/CMyListCtrl.h"

#include <QPointer>

class CLocateWindow;
class CTagChartWindow;
class CTagListModel;
class IMainWindowServices;
class QAction;
class QMenu;

// The list of a tag page. Beyond the list itself it offers, on request only: the GS1 column
// (header menu, remembered for every tag page), the page's chart window and, from a row's
// menu, a locate window for that row's EPC. The windows exist only while open.
class CTagListView : public CMyListCtrl {
    Q_OBJECT

public:
    CTagListView(IMainWindowServices &services, CTagListModel &model, QWidget *parent);
    ~CTagListView() override;

    // Shows the GS1 column as the configuration says (another page may have switched it).
    void followGs1Setting();
    void openChart();
    // Opens (or moves) the locate window to the selected row's EPC.
    void locateSelected();

    QMenu *headerMenu() const { return m_headerMenu; }
    QMenu *rowMenu() const { return m_rowMenu; }
    // The open windows, or nullptr.
    CTagChartWindow *chart() const;
    CLocateWindow *locator() const;

private:
    void setGs1Shown(bool shown);
    void showRowMenu(const QPoint &position);

    IMainWindowServices &m_services;
    CTagListModel &m_model;
    QAction *m_gs1 = nullptr;
    QAction *m_locate = nullptr;
    QMenu *m_headerMenu = nullptr;
    QMenu *m_rowMenu = nullptr;
    QPointer<CTagChartWindow> m_chart;
    QPointer<CLocateWindow> m_locator;
};
