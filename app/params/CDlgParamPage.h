#pragma once

#include "kit/CBusyState.h"
#include "kit/CPage.h"
#include "kit/IReader.h"
#include "params/DeviceParamRecord.h"
#include "params/ParamFamily.h"
#include "reader_family.h"

#include <QDateTime>

#include <array>
#include <functional>
#include <optional>

class QCheckBox;
class QComboBox;
class QFormLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The parameter page every reader family shares: reads the DeviceParam record into the
// controls, builds it from them, restores the factory record, follows a changed serial baud
// rate. A family's page differs only by its entry in the family table and its ParamFamily
// (fields, captions, extra groups). Every reader call runs on the reader worker; the buttons
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

    static constexpr int failureText = 1022;
    static constexpr int successText = 1023;
    static constexpr int moduleFaultText = 1222;

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
    QPushButton *addButton(
        const char *name, const QString &caption, void (CDlgParamPage::*operation)());
    QStringList familyItems(std::span<const readerfamily::ListItem> items) const;
    QStringList workModes() const;
    QStringList regionNames() const;

    void log(int key);
    void reportRead(const ReadOutcome &outcome);
    void showForm(const deviceparam::DeviceParamForm &form);
    void showFamilyFields(const deviceparam::DeviceParamForm &form);
    void showChannels(const deviceparam::ChannelList &channels);
    deviceparam::DeviceParamForm formFromControls() const;
    void takeFamilyFields(deviceparam::DeviceParamForm &form) const;
    deviceparam::ChannelList channelsFromControls() const;
    void followBaud(int selected);
    void regionChanged(int index);
    void interfaceChanged(int index);
    void showAntennas();
    QString antennaLine(std::uint8_t connected) const;

    const readerfamily::FamilyTraits &m_traits;
    const paramfamily::ParamFamily &m_family;
    CBusyState m_busy{this};
    std::function<QDateTime()> m_clock = [] { return QDateTime::currentDateTime(); };

    // The last record read: its leading byte (0 before the first read) goes back with the next
    // write, and its values stay for lists left without a selection and a channel list with
    // nothing to encode.
    std::uint8_t m_lead = 0;
    deviceparam::DeviceParamForm m_shown;
    // Unknown before the first read: a Set then always follows the baud list.
    std::optional<int> m_readBaud;

    QComboBox *m_interface = nullptr;
    QComboBox *m_workMode = nullptr;
    QLineEdit *m_address = nullptr;
    QLineEdit *m_filterTime = nullptr;
    QComboBox *m_power = nullptr;
    QCheckBox *m_beeper = nullptr;
    QComboBox *m_baud = nullptr;
    QComboBox *m_region = nullptr;
    QComboBox *m_channels = nullptr;
    QCheckBox *m_single = nullptr;
    QComboBox *m_area = nullptr;
    QLineEdit *m_startAddress = nullptr;
    QLineEdit *m_byteLength = nullptr;
    QLineEdit *m_byte12 = nullptr;
    QComboBox *m_wiegandFormat = nullptr;
    QComboBox *m_wiegandOrder = nullptr;
    QLineEdit *m_outputInterval = nullptr;
    QLineEdit *m_pulseWidth = nullptr;
    QLineEdit *m_pulseInterval = nullptr;
    std::array<QCheckBox *, 8> m_antennas{};
    QComboBox *m_q = nullptr;
    QComboBox *m_session = nullptr;
    QLineEdit *m_responseTime = nullptr;
    QComboBox *m_target = nullptr;
    QCheckBox *m_dense = nullptr;
    QComboBox *m_outputFormat = nullptr;
    QCheckBox *m_enterKey = nullptr;
    QGroupBox *m_wifiGroup = nullptr;
    QLineEdit *m_ssid = nullptr;
    QLineEdit *m_password = nullptr;
    QLineEdit *m_remoteIp = nullptr;
    QLineEdit *m_remotePort = nullptr;
    QLineEdit *m_deviceTime = nullptr;
};
