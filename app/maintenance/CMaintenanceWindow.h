#pragma once

#include "kit/CPage.h"

#include <utility>
#include <vector>

class CFirmwareTab;
class CTagCacheTab;
class CWhiteListTab;
class QTabWidget;

// The reader maintenance window, opened from the connection panel: one instance, not modal,
// a tab per job (firmware upgrade, white list, tag cache) and a GPRS / GPS tab hosting the
// pages no family's tab set shows. Closing it only hides it; an upgrade keeps running. While
// no reader is connected its tabs are disabled and a running upgrade is cancelled.
class CMaintenanceWindow final : public CPage {
    Q_OBJECT

public:
    // `hosted`: the pages of the GPRS / GPS tab with their captions; the window takes them.
    CMaintenanceWindow(IMainWindowServices &services, std::vector<std::pair<Text, CPage *>> hosted,
        QWidget *parent);
    ~CMaintenanceWindow() override;

    // Cancels a running upgrade between blocks (the main window is closing).
    void stopWork() override;
    // A record a profile import wrote reaches the hosted pages too.
    void showWrittenRecord(RecordKind kind, const ParamRecord &record) override;

    QTabWidget *tabs() const { return m_tabs; }
    CFirmwareTab *firmwareTab() const { return m_firmware; }
    CWhiteListTab *whiteListTab() const { return m_whiteList; }
    CTagCacheTab *cacheTab() const { return m_cache; }

private:
    QWidget *buildHostTab(std::vector<std::pair<Text, CPage *>> hosted);
    void connectionChanged(bool open);
    void readCurrentHostedPage();
    QList<CPage *> hostedPages() const;

    QTabWidget *m_tabs = nullptr;
    QTabWidget *m_hostTabs = nullptr;
    CFirmwareTab *m_firmware = nullptr;
    CWhiteListTab *m_whiteList = nullptr;
    CTagCacheTab *m_cache = nullptr;
};
