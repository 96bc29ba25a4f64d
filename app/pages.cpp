#include "pages.h"

#include "netserver/CDlgNetTest.h"
#include "shell/CHello.h"
#include "shell/CPageFactory.h"
#include "tags/CDlgActiveRead.h"
#include "tags/CDlgActiveTemp.h"
#include "tags/CDlgIdentifyTemp.h"
#include "tags/CIdentifyTab.h"

using readerfamily::PageId;

CPageFactory registeredPages()
{
    CPageFactory factory;
    factory.registerPage(PageId::Hello, CPageFactory::makerOf<CHello>());
    factory.registerPage(PageId::NetTest, CPageFactory::makerOf<CDlgNetTest>());
    factory.registerPage(PageId::IdentifyTab, CPageFactory::makerOf<CIdentifyTab>());
    factory.registerPage(PageId::IdentifyTemp, CPageFactory::makerOf<CDlgIdentifyTemp>());
    factory.registerPage(PageId::ActiveRead, CPageFactory::makerOf<CDlgActiveRead>());
    factory.registerPage(PageId::ActiveTemp, CPageFactory::makerOf<CDlgActiveTemp>());
    return factory;
}
