#pragma once

#include "tags/CDlgActiveRead.h"

// The active read page with the temperature column; a merged sighting always overwrites it.
class CDlgActiveTemp final : public CDlgActiveRead {
    Q_OBJECT

public:
    CDlgActiveTemp(IMainWindowServices &services, QWidget *parent);
};
