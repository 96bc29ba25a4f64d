#include "tags/CDlgActiveTemp.h"

CDlgActiveTemp::CDlgActiveTemp(IMainWindowServices &services, QWidget *parent)
    : CDlgActiveRead(services, parent, CTagListModel::Kind::ActiveTemperature)
{
    setObjectName(QStringLiteral("CDlgActiveTemp"));
}
