#pragma once

#include "reader/IReader.h"
#include "reader_family.h"

#include <QTabWidget>

#include <array>
#include <cstdint>

class CPage;
class CPageFactory;
class IMainWindowServices;

// The tab control of the main window. It owns one page object of every page id, created once
// and hidden, and shows the tabs of the connected reader's family (the welcome tab alone
// before the first Open). The tabs are rebuilt only when the family set-up finds them not
// built; switching tabs shows the page, stops work that may be running and lets parameter
// pages read the reader.
class CTab : public QTabWidget {
    Q_OBJECT

public:
    explicit CTab(QWidget *parent = nullptr);
    ~CTab() override;

    // Creates every page as a hidden child, then offers the welcome tab alone.
    void createPages(const CPageFactory &factory, IMainWindowServices &services);
    CPage *page(readerfamily::PageId id) const;

    // Type byte of the reader last opened; 0 before the first Open.
    std::uint8_t deviceType() const { return m_deviceType; }
    // A reader of this type was opened. After a reader of another type (not 0) the next
    // family set-up rebuilds the tabs and selects the first as if the operator had chosen it.
    void setDeviceType(std::uint8_t type);

    // Puts the device type's tabs in place when they are not built, then lets the family's
    // parameter page read the reader.
    void setUpFamily();
    // Ends the work of every page that may be running (before the connection closes).
    void stopAllWork();
    // Hands a record a profile import wrote to every page; those that show it do.
    void showWrittenRecord(RecordKind kind, const ParamRecord &record);

private:
    void selectTab(int position);
    void onSelectionChanged(int position);
    void handleSelection(int position);
    void rebuildTabs();
    void hideAllPages();

    std::array<CPage *, readerfamily::pageCount> m_pages {};
    IMainWindowServices *m_services = nullptr;
    std::uint8_t m_deviceType = 0;
    bool m_tabsBuilt = false;
    bool m_selectFirstTab = false;
    // Set while tabs are added or removed by the program, whose selection changes are not
    // the operator's.
    bool m_rebuilding = false;
};
