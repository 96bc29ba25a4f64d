#include "pages.h"

#include "params/FamilyParamPages.h"
#include "shell/CHello.h"
#include "shell/CPageFactory.h"

using readerfamily::PageId;

CPageFactory registeredPages()
{
    CPageFactory factory;
    factory.registerPage(PageId::Hello, CPageFactory::makerOf<CHello>());
    factory.registerPage(PageId::AlderParam, CPageFactory::makerOf<CDlgAlderParam>());
    factory.registerPage(PageId::BirchParam, CPageFactory::makerOf<CDlgBirchParam>());
    factory.registerPage(PageId::Birch2Param, CPageFactory::makerOf<CDlgBirch2Param>());
    factory.registerPage(PageId::CedarParam, CPageFactory::makerOf<CDlgCedarParam>());
    factory.registerPage(PageId::Cedar2Param, CPageFactory::makerOf<CDlgCedar2Param>());
    factory.registerPage(PageId::ElmParam, CPageFactory::makerOf<CDlgElmParam>());
    factory.registerPage(PageId::FirParam, CPageFactory::makerOf<CDlgFirParam>());
    factory.registerPage(PageId::HazelParam, CPageFactory::makerOf<CDlgHazelParam>());
    return factory;
}
