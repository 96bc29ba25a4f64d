#pragma once

#include "firmware_upgrade.h"
#include "kit/CBusyState.h"
#include "kit/CPage.h"

#include <QTimer>

#include <memory>
#include <optional>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;

// The maintenance window's firmware tab: an image file, the block size and an optional
// password, then the upgrade on the reader worker through the shared upgrade routine, with a
// progress bar (blocks, bytes, rate, time left) and Cancel between blocks.
class CFirmwareTab final : public CPage {
    Q_OBJECT

public:
    CFirmwareTab(IMainWindowServices &services, QWidget *parent);
    // An upgrade still running stops after its current block.
    ~CFirmwareTab() override;

    // Cancels a running upgrade between blocks.
    void stopWork() override;

    void chooseImage();
    // Checks the input, asks for confirmation, then starts the upgrade.
    void start();
    void cancel();
    bool isRunning() const { return m_run != nullptr; }

    // What the window says about an upgrade's end, also posted to the message log.
    QString outcomeText(const firmware::UpgradeResult &result, std::size_t blockCount) const;

private:
    // Shared with the job on the reader worker, which may outlive the tab.
    struct Run;

    QLabel *addLabel(const char *name, Text key);
    void buildControls();
    // The password field's bytes: nothing when empty; false when it is not 8 hex digits.
    bool readPassword(std::optional<AccessPassword> &password) const;
    void showProgress();
    void finish(const firmware::UpgradeResult &result, std::size_t blockCount);
    void warn(const QString &body);

    CBusyState m_busy { this };
    std::shared_ptr<Run> m_run;
    QTimer m_progressTimer;
    QLineEdit *m_imageField = nullptr;
    QPushButton *m_chooseButton = nullptr;
    QSpinBox *m_blockSize = nullptr;
    QLineEdit *m_passwordField = nullptr;
    QPushButton *m_startButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
    QProgressBar *m_progressBar = nullptr;
    QLabel *m_status = nullptr;
};
