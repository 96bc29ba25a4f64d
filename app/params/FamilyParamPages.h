// The eight family parameter pages: the common page with their family's fields in the device
// record's table and its entries in the family table and in ParamFamily; nothing else sets
// them apart.
#pragma once

#include "params/CDlgParamPage.h"

class CDlgAlderParam final : public CDlgParamPage {
    Q_OBJECT

public:
    CDlgAlderParam(IMainWindowServices &services, QWidget *parent)
        : CDlgParamPage(services, parent, readerfamily::Family::Alder)
    {
        setObjectName(QStringLiteral("CDlgAlderParam"));
    }
};

class CDlgBirchParam final : public CDlgParamPage {
    Q_OBJECT

public:
    CDlgBirchParam(IMainWindowServices &services, QWidget *parent)
        : CDlgParamPage(services, parent, readerfamily::Family::Birch)
    {
        setObjectName(QStringLiteral("CDlgBirchParam"));
    }
};

class CDlgBirch2Param final : public CDlgParamPage {
    Q_OBJECT

public:
    CDlgBirch2Param(IMainWindowServices &services, QWidget *parent)
        : CDlgParamPage(services, parent, readerfamily::Family::Birch2)
    {
        setObjectName(QStringLiteral("CDlgBirch2Param"));
    }
};

class CDlgCedarParam final : public CDlgParamPage {
    Q_OBJECT

public:
    CDlgCedarParam(IMainWindowServices &services, QWidget *parent)
        : CDlgParamPage(services, parent, readerfamily::Family::Cedar)
    {
        setObjectName(QStringLiteral("CDlgCedarParam"));
    }
};

class CDlgCedar2Param final : public CDlgParamPage {
    Q_OBJECT

public:
    CDlgCedar2Param(IMainWindowServices &services, QWidget *parent)
        : CDlgParamPage(services, parent, readerfamily::Family::Cedar2)
    {
        setObjectName(QStringLiteral("CDlgCedar2Param"));
    }
};

class CDlgElmParam final : public CDlgParamPage {
    Q_OBJECT

public:
    CDlgElmParam(IMainWindowServices &services, QWidget *parent)
        : CDlgParamPage(services, parent, readerfamily::Family::Elm)
    {
        setObjectName(QStringLiteral("CDlgElmParam"));
    }
};

class CDlgFirParam final : public CDlgParamPage {
    Q_OBJECT

public:
    CDlgFirParam(IMainWindowServices &services, QWidget *parent)
        : CDlgParamPage(services, parent, readerfamily::Family::Fir)
    {
        setObjectName(QStringLiteral("CDlgFirParam"));
    }
};

class CDlgHazelParam final : public CDlgParamPage {
    Q_OBJECT

public:
    CDlgHazelParam(IMainWindowServices &services, QWidget *parent)
        : CDlgParamPage(services, parent, readerfamily::Family::Hazel)
    {
        setObjectName(QStringLiteral("CDlgHazelParam"));
    }
};
