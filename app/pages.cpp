#include "pages.h"

#include "shell/CHello.h"
#include "shell/CPageFactory.h"
#include "tags/CDlgActiveRead.h"
#include "tags/CDlgActiveTemp.h"

using readerfamily::PageId;

CPageFactory registeredPages()
{
    CPageFactory factory;
    factory.registerPage(PageId::Hello, CPageFactory::makerOf<CHello>());
    factory.registerPage(PageId::ActiveRead, CPageFactory::makerOf<CDlgActiveRead>());
    factory.registerPage(PageId::ActiveTemp, CPageFactory::makerOf<CDlgActiveTemp>());
    return factory;
}
