#pragma once

#include <QWidget>

class IMainWindowServices;

// Base of every page the tab control shows. A page is created once, at start-up, and lives
// until the program ends. The tab control calls the two hooks: stopWork() on pages that may
// be running an inventory, a writer loop or an active read when the operator switches tabs or
// the connection closes, and readParameters() on parameter pages when they come into view.
// Pages without such work keep the empty defaults.
class CPage : public QWidget
{
    Q_OBJECT

public:
    CPage(IMainWindowServices &services, QWidget *parent);

    virtual void stopWork() {}
    virtual void readParameters() {}

protected:
    IMainWindowServices &services() const { return m_services; }

private:
    IMainWindowServices &m_services;
};

// Stands in for a page whose issue has not landed yet: says so, and does nothing else.
class CPlaceholderPage final : public CPage
{
    Q_OBJECT

public:
    CPlaceholderPage(IMainWindowServices &services, const QString &pageName, QWidget *parent);
};
