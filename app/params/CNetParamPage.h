#pragma once

#include "kit/CBusyState.h"
#include "kit/CPage.h"
#include "params/NetParamRecord.h"

#include <memory>
#include <optional>

class IShellPrompts;
class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;

// The page both network pages share: reads the NetParam record into the controls, writes it
// back and restores the factory record. A write or a default restarts the reader, so the page
// then closes the connection and hands its new address and port to the main window for the
// next network Open. The Fir network page adds the GPS and GPRS fields and the GPS query.
// Every reader call runs on the reader worker.
class CNetParamPage : public CPage {
    Q_OBJECT

public:
    enum class Kind { Plain, Fir };

    CNetParamPage(IMainWindowServices &services, QWidget *parent, Kind kind);
    ~CNetParamPage() override;

    // The main window's read on tab selection.
    void readParameters() override;
    void showWrittenRecord(RecordKind kind, const ParamRecord &record) override;

    // The operator's operations; each does nothing while the main window is not connected.
    void read();
    void set();
    void restoreDefaults();
    void reboot();
    void getGps();

    // Message boxes go here instead (tests).
    void setPrompts(IShellPrompts *prompts);
    // Bytes written: the plain page leaves the GPS and GPRS fields out.
    int writeLength() const;

    static constexpr int failureText = 1022;
    static constexpr int successText = 1023;

private:
    struct DefaultOutcome {
        bool restored = false;
        std::optional<ParamRecord> read;
    };

    void buildControls();
    QGroupBox *buildNetworkGroup();
    QGroupBox *buildWifiGroup();
    QGroupBox *buildRemoteGroup();
    QGroupBox *buildGpsGroup();
    QGroupBox *buildGprsGroup();
    QWidget *buildButtonRow();
    QPushButton *addButton(const char *name, const QString &caption, void (CNetParamPage::*operation)());

    void log(int key);
    void reportRead(const std::optional<ParamRecord> &record);
    void showForm(const netparam::NetParamForm &form);
    netparam::NetParamForm formFromControls() const;
    void handOver(const QString &address, const QString &port);
    void dnsToggled(bool on);
    void autoApnToggled(bool on);

    const Kind m_kind;
    CBusyState m_busy{this};
    std::unique_ptr<IShellPrompts> m_ownPrompts;
    IShellPrompts *m_prompts = nullptr;
    // Of the last record read; goes back with the next write (0 before the first read).
    std::uint8_t m_lead = 0;

    QLineEdit *m_mac = nullptr;
    QLineEdit *m_ipAddress = nullptr;
    QLineEdit *m_subnetMask = nullptr;
    QLineEdit *m_gateway = nullptr;
    QLineEdit *m_localPort = nullptr;
    QCheckBox *m_dhcp = nullptr;
    QLineEdit *m_ssid = nullptr;
    QLineEdit *m_wifiPassword = nullptr;
    QLineEdit *m_remoteIp = nullptr;
    QLineEdit *m_remotePort = nullptr;
    QCheckBox *m_dns = nullptr;
    QLineEdit *m_domain = nullptr;
    QLineEdit *m_heartbeat = nullptr;
    QCheckBox *m_gps = nullptr;
    QLineEdit *m_gpsInterval = nullptr;
    QCheckBox *m_autoApn = nullptr;
    QLineEdit *m_apn = nullptr;
    QLineEdit *m_apnUser = nullptr;
    QLineEdit *m_apnPassword = nullptr;
    QPushButton *m_rebootButton = nullptr;
};

// Network and WIFI settings (Fir, Hazel, Elm, Cedar and Cedar2 tabs); its reboot button stays
// hidden.
class CDlgNetParam final : public CNetParamPage {
    Q_OBJECT

public:
    CDlgNetParam(IMainWindowServices &services, QWidget *parent)
        : CNetParamPage(services, parent, Kind::Plain)
    {
        setObjectName(QStringLiteral("CDlgNetParam"));
    }
};

// The same plus the GPS and GPRS settings and the GPS position query.
class CDlgFirNetParam final : public CNetParamPage {
    Q_OBJECT

public:
    CDlgFirNetParam(IMainWindowServices &services, QWidget *parent)
        : CNetParamPage(services, parent, Kind::Fir)
    {
        setObjectName(QStringLiteral("CDlgFirNetParam"));
    }
};
