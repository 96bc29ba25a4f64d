#pragma once

#include "kit/CBusyState.h"
#include "kit/CPage.h"
#include "kit/CRecordForm.h"
#include "params/CChannelPlanRows.h"
#include "params/ParamFamily.h"
#include "reader/IReader.h"
#include "reader_family.h"

#include <QDateTime>

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

class QFormLayout;
class QGroupBox;
class QLineEdit;

namespace devicerows {
struct Group;
struct Row;
} // namespace devicerows

// The parameter page every reader family shares: reads the DeviceParam record into the
// controls, builds it from them, restores the factory record, follows a changed serial baud
// rate. A family's page differs only by its fields in the device record's table, its entry in
// the family table and its ParamFamily. Every reader call runs on the reader worker; the buttons
// are disabled while one runs.
class CDlgParamPage : public CPage {
    Q_OBJECT

public:
    CDlgParamPage(IMainWindowServices &services, QWidget *parent, readerfamily::Family family);

    // The main window's read after Open and on tab selection.
    void readParameters() override;
    // A device record a profile import wrote: the Elm, Fir and Hazel pages show it as if just
    // read (their kept leading byte stays that of their own last read).
    void showWrittenRecord(RecordKind kind, const ParamRecord &record) override;

    // The operator's operations; each does nothing while the main window is not connected.
    void read();
    void set();
    void restoreDefaults();
    void checkAntennas();
    void readDeviceTime();
    void synchroniseTime();

    // The computer's clock that "synchronise" sends (tests hand in a fixed one).
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }

    static constexpr int failureText = keyNumber(Text::OperationFailed);
    static constexpr int successText = keyNumber(Text::OperationSucceeded);
    static constexpr int moduleFaultText = keyNumber(Text::ModuleFault);

private:
    struct ReadOutcome {
        std::optional<ParamRecord> record;
        bool moduleFault = false;
    };
    struct DefaultOutcome {
        bool restored = false;
        ReadOutcome read;
    };
    static ReadOutcome readDevice(IReader &reader, int length, bool checksModule);

    // The groups of the device record's presentation table, then the page's own controls.
    void buildControls();
    QGroupBox *buildGroup(const devicerows::Group &group);
    void addRow(QFormLayout *form, const devicerows::Row &row);
    QGroupBox *buildAntennaGroup();
    QWidget *buildDeviceTimeRow();
    QWidget *buildButtonRow();

    void reportRead(const ReadOutcome &outcome);
    void showRecord(std::span<const std::uint8_t> bytes);
    std::vector<std::uint8_t> recordFromControls() const;
    void followBaud(int selected);
    void interfaceChanged(int index);
    void showAntennas();
    QString antennaLine(std::uint8_t connected) const;

    const readerfamily::FamilyTraits &m_traits;
    const paramfamily::ParamFamily &m_family;
    CBusyState m_busy { this };
    std::function<QDateTime()> m_clock = [] { return QDateTime::currentDateTime(); };

    // The leading byte of the last record read (0 before the first read) goes back with the
    // next write; the form keeps its values for lists left without a selection and a channel
    // list with nothing to encode.
    std::uint8_t m_lead = 0;
    CRecordForm m_form;
    // Unknown before the first read: a Set then always follows the baud list.
    std::optional<int> m_readBaud;

    CChannelPlanRows m_channelPlan;
    // Only the families that have them.
    QGroupBox *m_wifiGroup = nullptr;
    QLineEdit *m_deviceTime = nullptr;
};
