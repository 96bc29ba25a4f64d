#pragma once

#include "reader_family.h"

#include <array>
#include <functional>
#include <utility>
#include <vector>

class CPage;
class IMainWindowServices;
class QWidget;

// Makes the page object of each page id. Page classes are registered in one place of the
// program (pages.cpp); ids without a registration get a placeholder page that says so.
class CPageFactory {
public:
    using Maker = std::function<CPage *(IMainWindowServices &services, QWidget *parent)>;
    // The pages a window hosts, each with its caption.
    using HostedPages = std::vector<std::pair<Text, CPage *>>;
    using WindowMaker = std::function<CPage *(
        IMainWindowServices &services, HostedPages hosted, QWidget *parent)>;

    void registerPage(readerfamily::PageId page, Maker maker);
    CPage *create(readerfamily::PageId page, IMainWindowServices &services, QWidget *parent) const;

    void registerMaintenanceWindow(WindowMaker maker);
    // The maintenance window (a top-level window, hidden) with objects of its own of the pages
    // it hosts; nullptr when none is registered.
    CPage *createMaintenanceWindow(IMainWindowServices &services, QWidget *parent) const;

    // A maker for a page class constructed as PageClass(services, parent).
    template <typename PageClass> static Maker makerOf()
    {
        return [](IMainWindowServices &services, QWidget *parent) -> CPage * {
            return new PageClass(services, parent);
        };
    }

private:
    std::array<Maker, readerfamily::pageCount> m_makers;
    WindowMaker m_maintenanceMaker;
};
