#pragma once

#include "shell/CFamilyTable.h"

#include <array>
#include <functional>

class CPage;
class IMainWindowServices;
class QWidget;

// Makes the page object of each page id. A page class attaches itself by one registration in
// standard(); ids without a registration get a placeholder page that says so.
class CPageFactory
{
public:
    using Maker = std::function<CPage *(IMainWindowServices &services, QWidget *parent)>;

    // The pages of the program.
    static CPageFactory standard();

    void registerPage(PageId page, Maker maker);
    CPage *create(PageId page, IMainWindowServices &services, QWidget *parent) const;

    // A maker for a page class constructed as PageClass(services, parent).
    template <typename PageClass>
    static Maker makerOf()
    {
        return [](IMainWindowServices &services, QWidget *parent) -> CPage * {
            return new PageClass(services, parent);
        };
    }

private:
    std::array<Maker, pageCount> m_makers;
};
