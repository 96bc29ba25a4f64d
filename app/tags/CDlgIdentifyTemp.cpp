#include "tags/CDlgIdentifyTemp.h"

CDlgIdentifyTemp::CDlgIdentifyTemp(IMainWindowServices &services, QWidget *parent)
    : CIdentifyTab(services, parent, CTagListModel::Kind::TemperatureInventory)
{
    setObjectName(QStringLiteral("CDlgIdentifyTemp"));
}
