#pragma once

#include "kit/CPage.h"

#include <QString>

#include <optional>

class CButtonST;
class QLabel;
class QPushButton;

// The welcome page: the only tab until the first reader is opened. It shows the logo, a
// welcome line, the program's version and the newest version published on the update host,
// which a check thread fetches once when the page is created; the page never waits for it. The
// update host is the "UpdateHost" setting of SystemConfig.ini (host[:port] or a full address);
// without it no request is made.
class CHello final : public CPage {
    Q_OBJECT

public:
    CHello(IMainWindowServices &services, QWidget *parent);

    QString currentVersion() const;
    QString latestVersion() const;
    float latestVersionValue() const { return m_latestVersion; }
    // Whether the check has an outcome (also when it never ran).
    bool checkFinished() const { return m_checkFinished; }
    // The check's outcome: the latest version, or none when the check failed.
    void showOutcome(std::optional<float> version);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void buildLayout();
    void applyTexts();
    void showLogo();
    void startVersionCheck();

    CButtonST *m_logoButton = nullptr;
    QLabel *m_welcomeLine = nullptr;
    QLabel *m_currentLabel = nullptr;
    QLabel *m_currentValue = nullptr;
    QLabel *m_latestLabel = nullptr;
    QLabel *m_latestValue = nullptr;
    QPushButton *m_updateButton = nullptr;
    QString m_logoPath;
    float m_latestVersion = 0;
    bool m_checkFinished = false;
};
