#pragma once

#include "tags/CIdentifyTab.h"

// The temperature inventory page: the answer-mode inventory page whose list shows the
// temperature of sensor tags; a sighting without a valid reading keeps the last one.
class CDlgIdentifyTemp final : public CIdentifyTab {
    Q_OBJECT

public:
    CDlgIdentifyTemp(IMainWindowServices &services, QWidget *parent);
};
