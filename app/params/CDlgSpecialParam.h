#pragma once

#include "kit/CBusyState.h"
#include "kit/CPage.h"
#include "params/SpecialParamRecord.h"

#include <optional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The special parameters: read permission (access password, tag mask), output control (relay,
// cache, output protocol). Reads and writes the SpecialParam record on the reader worker. A
// reader without a relay of its own (Cedar) gets the relay controls disabled; the page learns
// the type when a reader connects and at every read, since it is created before any reader is.
class CDlgSpecialParam final : public CPage {
    Q_OBJECT

public:
    CDlgSpecialParam(IMainWindowServices &services, QWidget *parent);

    // The main window's read on tab selection.
    void readParameters() override;
    void showWrittenRecord(RecordKind kind, const ParamRecord &record) override;

    // The operator's operations; each does nothing while the main window is not connected.
    void read();
    void set();

    static constexpr int failureText = 1022;
    static constexpr int successText = 1023;
    static constexpr int firstConditionText = 1247;
    static constexpr int secondConditionText = 1248;

private:
    void buildControls();
    QGroupBox *buildPermissionGroup();
    QGroupBox *buildOutputGroup();
    QWidget *buildButtonRow();

    void log(int key);
    void followDeviceType();
    void showForm(const specialparam::SpecialParamForm &form);
    specialparam::SpecialParamForm formFromControls() const;

    CBusyState m_busy{this};
    // The last record read: its leading byte goes back with the next write, its list values
    // stay for a list left without a selection.
    std::uint8_t m_lead = 0;
    specialparam::SpecialParamForm m_shown;

    QCheckBox *m_passwordEnable = nullptr;
    QLineEdit *m_password = nullptr;
    QCheckBox *m_maskEnable = nullptr;
    QLineEdit *m_maskStart = nullptr;
    QLineEdit *m_maskData = nullptr;
    QComboBox *m_condition = nullptr;
    QCheckBox *m_relay = nullptr;
    QLabel *m_relayTimeLabel = nullptr;
    QLineEdit *m_relayTime = nullptr;
    QCheckBox *m_cache = nullptr;
    QCheckBox *m_protocolEnable = nullptr;
    QComboBox *m_protocol = nullptr;
};
