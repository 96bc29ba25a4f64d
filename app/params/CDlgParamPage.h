#pragma once

#include "channel_plan.h"
#include "kit/CBusyState.h"
#include "kit/CPage.h"
#include "kit/CRecordForm.h"
#include "params/ParamFamily.h"
#include "reader/IReader.h"
#include "reader_family.h"

#include <QDateTime>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

class QCheckBox;
class QComboBox;
class QFormLayout;
class QGroupBox;
class QLineEdit;
class QPushButton;

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

    void buildControls();
    QGroupBox *buildReaderGroup();
    QGroupBox *buildReadSettingsGroup();
    QGroupBox *buildWiegandGroup();
    QGroupBox *buildAntennaGroup();
    QGroupBox *buildKeyboardGroup();
    QGroupBox *buildWifiGroup();
    QWidget *buildDeviceTimeRow();
    QWidget *buildButtonRow();
    QComboBox *addList(
        QFormLayout *form, const char *name, const QString &caption, const QStringList &items);
    void addFirstFreeRow(
        QFormLayout *form, std::initializer_list<std::string_view> fields, const char *name);
    QStringList familyItems(std::span<const readerfamily::ListItem> items) const;
    QStringList workModes() const;
    QStringList regionNames() const;

    void reportRead(const ReadOutcome &outcome);
    void showRecord(std::span<const std::uint8_t> bytes);
    void showChannels(const channelplan::ChannelList &channels);
    std::vector<std::uint8_t> recordFromControls() const;
    channelplan::ChannelList channelsFromControls() const;
    void followBaud(int selected);
    void regionChanged(int index);
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

    QComboBox *m_region = nullptr;
    QComboBox *m_channels = nullptr;
    QCheckBox *m_single = nullptr;
    // Only the families that have them.
    QGroupBox *m_wifiGroup = nullptr;
    QLineEdit *m_deviceTime = nullptr;
};
