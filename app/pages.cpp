#include "pages.h"

#include "maintenance/CMaintenanceWindow.h"
#include "netserver/CDlgNetTest.h"
#include "params/CDlgGPRSTest.h"
#include "params/CDlgSpecialParam.h"
#include "params/CNetParamPage.h"
#include "params/FamilyParamPages.h"
#include "shell/CHello.h"
#include "shell/CPageFactory.h"
#include "tags/CDlgActiveRead.h"
#include "tags/CDlgActiveTemp.h"
#include "tags/CDlgIdentifyTemp.h"
#include "tags/CDlgWriter.h"
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
    factory.registerPage(PageId::Writer, CPageFactory::makerOf<CDlgWriter>());
    factory.registerPage(PageId::AlderParam, CPageFactory::makerOf<CDlgAlderParam>());
    factory.registerPage(PageId::BirchParam, CPageFactory::makerOf<CDlgBirchParam>());
    factory.registerPage(PageId::Birch2Param, CPageFactory::makerOf<CDlgBirch2Param>());
    factory.registerPage(PageId::CedarParam, CPageFactory::makerOf<CDlgCedarParam>());
    factory.registerPage(PageId::Cedar2Param, CPageFactory::makerOf<CDlgCedar2Param>());
    factory.registerPage(PageId::ElmParam, CPageFactory::makerOf<CDlgElmParam>());
    factory.registerPage(PageId::FirParam, CPageFactory::makerOf<CDlgFirParam>());
    factory.registerPage(PageId::HazelParam, CPageFactory::makerOf<CDlgHazelParam>());
    factory.registerPage(PageId::SpecialParam, CPageFactory::makerOf<CDlgSpecialParam>());
    factory.registerPage(PageId::NetParam, CPageFactory::makerOf<CDlgNetParam>());
    factory.registerPage(PageId::FirNetParam, CPageFactory::makerOf<CDlgFirNetParam>());
    factory.registerPage(PageId::GprsTest, CPageFactory::makerOf<CDlgGPRSTest>());
    factory.registerMaintenanceWindow(
        [](IMainWindowServices &services, CPageFactory::HostedPages hosted, QWidget *parent) {
            return new CMaintenanceWindow(services, std::move(hosted), parent);
        });
    return factory;
}
