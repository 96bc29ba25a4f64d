#pragma once

#include "kit/CBusyState.h"
#include "kit/CPage.h"
#include "kit/CRecordForm.h"

#include <optional>
#include <span>
#include <string_view>

class QGroupBox;
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

    // Bytes written: the plain page leaves the GPS and GPRS fields out.
    int writeLength() const;

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

    void reportRead(const std::optional<ParamRecord> &record);
    void showRecord(std::span<const std::uint8_t> bytes);
    Bytes recordFromControls() const;
    // A field of a record as its control shows it.
    QString fieldText(std::span<const std::uint8_t> bytes, std::string_view name) const;
    void handOver(const QString &address, const QString &port);
    void dnsToggled(bool on);
    void autoApnToggled(bool on);

    const Kind m_kind;
    CBusyState m_busy { this };
    // Of the last record read; goes back with the next write (0 before the first read).
    std::uint8_t m_lead = 0;

    // The fields the page has: the plain page has no GPS and GPRS fields.
    CRecordForm m_form;
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
