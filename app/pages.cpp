#include "pages.h"

#include "netserver/CDlgNetTest.h"
#include "shell/CHello.h"
#include "shell/CPageFactory.h"

using readerfamily::PageId;

CPageFactory registeredPages()
{
    CPageFactory factory;
    factory.registerPage(PageId::Hello, CPageFactory::makerOf<CHello>());
    factory.registerPage(PageId::NetTest, CPageFactory::makerOf<CDlgNetTest>());
    return factory;
}
