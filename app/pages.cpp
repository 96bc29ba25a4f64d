#include "pages.h"

#include "shell/CHello.h"
#include "shell/CPageFactory.h"

using readerfamily::PageId;

CPageFactory registeredPages()
{
    CPageFactory factory;
    factory.registerPage(PageId::Hello, CPageFactory::makerOf<CHello>());
    return factory;
}
