#pragma once

#include "kit/CBusyState.h"
#include "kit/CPage.h"
#include "kit/CRecordForm.h"

#include <optional>

class QGroupBox;
class QLabel;

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

private:
    void buildControls();
    QGroupBox *buildPermissionGroup();
    QGroupBox *buildOutputGroup();
    QWidget *buildButtonRow();

    void followDeviceType();
    void showRecord(const ParamRecord &record);
    Bytes recordFromControls() const;

    CBusyState m_busy { this };
    // Of the last record read; goes back with the next write (0 before the first read).
    std::uint8_t m_lead = 0;
    // Keeps the values last shown for a list left without a selection.
    CRecordForm m_form;
    QLabel *m_relayTimeLabel = nullptr;
};
