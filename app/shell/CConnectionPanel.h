#pragma once

#include "reader/CConnection.h"
#include "text_keys.h"

#include <QGroupBox>

#include <array>
#include <functional>
#include <optional>

class CButtonST;
class CConfigStore;
class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The left side of the main window: the transport choice with the settings of each transport,
// Open and Close, the device scans, the reader's identity, profiles, the relay, the language
// list and the skin button. It holds no connection state of its own; the main window takes
// the operator's choice from it as an open request and tells it which state to show.
class CConnectionPanel : public QGroupBox {
    Q_OBJECT

public:
    using TextLookup = std::function<QString(Text key)>;

    explicit CConnectionPanel(QWidget *parent = nullptr);

    void applyTexts(const TextLookup &text);
    // Replaces both device lists and selects their first entries.
    void setDeviceLists(const QStringList &serialPorts, const QStringList &usbDevices);
    // Transport button, network fields, list positions and language list from the
    // configuration; shows the closed state.
    void putConfiguration(const CConfigStore &config);

    // The transport of the checked button; current when none is checked.
    Transport chosenTransport(Transport current) const;
    // What Open of this transport opens; nothing when there is nothing to open (no serial
    // port named, no USB device selected).
    std::optional<OpenRequest> openRequest(Transport transport) const;
    // Writes what a successful Open of this transport remembers: list positions, or the
    // address and the port as typed.
    void rememberOpen(Transport transport, CConfigStore &config) const;
    // The port name as shown (typed or chosen); empty when there is none.
    QString serialPortName() const;
    int serialPosition() const;
    int baudPosition() const;
    // 9600, 19200, 38400, 57600 for positions 0 to 3; 115200 otherwise.
    int baudRate() const;
    // -1 when nothing is selected.
    int usbPosition() const;
    // The address field as "a.b.c.d" (missing numbers are 0).
    QString ipAddressText() const;
    QString portText() const;

    void selectTransport(Transport transport);
    void setNetworkFields(const QString &ipAddress, const QString &portText);
    // The baud list's entry of the rate (none for a rate it does not hold), or the network
    // fields of the address and port.
    void showEndpoint(const ReaderEndpoint &endpoint);

    // Closed: Open enabled; Close, the relay and maintenance buttons disabled. Opening or
    // closing: Open, Close and maintenance disabled, busy cursor over the panel. Open: Open
    // disabled; Close and maintenance enabled; the relay buttons as available.
    void showState(CConnection::State state, bool relayAvailable);
    // The profile export and import buttons (off in the closed and busy states).
    void setProfileButtonsEnabled(bool enabled);
    void showIdentity(
        const QString &serialNumber, const QString &firmware, const QString &hardware);

    QComboBox *languageList() const { return m_languageList; }
    CButtonST *skinButton() const { return m_skinButton; }

signals:
    void openRequested();
    void closeRequested();
    void portScanRequested();
    void networkScanRequested();
    void relayCloseRequested();
    void relayReleaseRequested();
    void exportRequested();
    void importRequested();
    void maintenanceRequested();

private:
    QWidget *buildTransportSection();
    void createTransportButtons(QWidget *section);
    void createSerialControls(QWidget *section);
    void createNetworkFields(QWidget *section);
    QWidget *buildButtonSection();
    QWidget *buildIdentitySection();
    QWidget *buildPreferenceSection();
    QPushButton *addButton(const char *objectName);
    QLabel *addLabel(const char *objectName);
    QLineEdit *addReadOnlyField(const char *objectName);
    void connectButtons();
    void nameFields(const TextLookup &text);
    void showClosed();
    void showBusy();
    void showOpen(bool relayAvailable);

    QButtonGroup *m_transportGroup = nullptr;
    std::array<QRadioButton *, 3> m_transportButtons {};
    QComboBox *m_serialList = nullptr;
    QLabel *m_baudLabel = nullptr;
    QComboBox *m_baudList = nullptr;
    QComboBox *m_usbList = nullptr;
    QLineEdit *m_ipField = nullptr;
    QLabel *m_portLabel = nullptr;
    QLineEdit *m_portField = nullptr;
    QPushButton *m_openButton = nullptr;
    QPushButton *m_closeButton = nullptr;
    QPushButton *m_portScanButton = nullptr;
    QPushButton *m_networkScanButton = nullptr;
    QLabel *m_serialNumberLabel = nullptr;
    QLineEdit *m_serialNumberField = nullptr;
    QLabel *m_firmwareLabel = nullptr;
    QLineEdit *m_firmwareField = nullptr;
    QLabel *m_hardwareLabel = nullptr;
    QLineEdit *m_hardwareField = nullptr;
    QPushButton *m_exportButton = nullptr;
    QPushButton *m_importButton = nullptr;
    QPushButton *m_relayCloseButton = nullptr;
    QPushButton *m_relayReleaseButton = nullptr;
    QPushButton *m_maintenanceButton = nullptr;
    QLabel *m_languageLabel = nullptr;
    QComboBox *m_languageList = nullptr;
    CButtonST *m_skinButton = nullptr;
};
