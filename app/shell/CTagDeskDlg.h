#pragma once

#include "shell/CMessageQueue.h"
#include "shell/CPreferenceActions.h"
#include "shell/CReaderFacade.h"
#include "shell/CShellPrompts.h"
#include "shell/CShellServices.h"
#include "shell/IMainWindowServices.h"

#include <QDialog>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

class CButtonST;
class CConnectionPanel;
class CMyListCtrl;
class CPageFactory;
class CTab;
class CTrafficLog;
class QComboBox;

// The main window: the connection panel, the tab control with the pages of the connected
// reader's family, and the message list that shows every log line of the program (each also
// goes to the log file). It owns the connection: Open reads the reader's identity and picks
// the family's pages, Close ends the pages' work and the connection.
class CTagDeskDlg : public QDialog, public IMainWindowServices
{
    Q_OBJECT

public:
    // Constructs the shell services (creates SystemConfig.ini when missing, starts the log
    // file), then initialises the window: message log, device lists, configuration,
    // language, captions, pages, skin.
    CTagDeskDlg(const CAppPaths &paths, const CDataFiles &dataFiles, QWidget *parent = nullptr);
    // The same with the page classes of the given factory (tests use fake pages).
    CTagDeskDlg(const CAppPaths &paths, const CDataFiles &dataFiles, const CPageFactory &pages,
                QWidget *parent = nullptr);
    ~CTagDeskDlg() override;

    CShellServices &services() { return m_services; }
    QString text(int key) const override { return m_services.text(key); }

    CTab *tabs() const { return m_tabs; }
    CMyListCtrl *messageList() const { return m_messageList; }
    QComboBox *languageList() const;
    CButtonST *skinButton() const;

    // Chooses the network transport at this address without writing the configuration
    // (the demo reader).
    void preselectNetwork(const QString &ipAddress, const QString &portText);

    // The panel's buttons.
    void openConnection();
    void relayClose();
    void relayRelease();
    void scanPorts();
    void scanNetwork();

    // IMainWindowServices
    bool isConnected() const override { return m_connected; }
    int transport() const override { return m_reader.transport(); }
    CReaderFacade &reader() override { return m_reader; }
    QStringList languageNames() const override;
    QStringList frequencyPresets() const override;
    QStringList protocols() const override;
    void postLog(const QString &line) override;
    void closeConnection() override;
    void setNetworkFields(const QString &ipAddress, const QString &portText) override;
    void setBaudPosition(int position) override;

    // Key texts of the window.
    static constexpr int titleText = 1000;
    static constexpr int timeColumnText = 1002;
    static constexpr int messageColumnText = 1003;
    static constexpr int serialOpenFailedText = 1010;
    static constexpr int serialOpenedText = 1011;
    static constexpr int usbOpenFailedText = 1012;
    static constexpr int usbOpenedText = 1013;
    static constexpr int networkOpenFailedText = 1014;
    static constexpr int networkOpenedText = 1015;
    static constexpr int noSystemInfoText = 1016;
    static constexpr int closedText = 1017;
    static constexpr int failedText = 1022;
    static constexpr int doneText = 1023;
    // Readers of this type byte have no relay.
    static constexpr std::uint8_t alderType = 0xE0;

public slots:
    // The window's close request: ends the message log, closes the connection, then the run.
    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    using SystemInfo = std::array<std::uint8_t, 10>;

    void initialise(const CPageFactory &pages);
    void buildLayout();
    void setUpMessageList();
    void sizeMessageColumns();
    void startMessageLog();
    void appendMessageRow(const QString &time, const QString &line);
    void fillDeviceLists();
    void applyTexts();
    void connectActions();
    void publishTrafficLog();

    bool openTransport();
    bool openSerial();
    bool openUsb();
    bool openNetwork();
    bool readSystemInfo(SystemInfo &info);
    void rememberSettings();
    void showConnected(const SystemInfo &info);
    void setUpPages(std::uint8_t type);
    void postRelayResult(int result);
    void shutDown();

    CShellServices m_services;
    CWidgetPrompts m_prompts;
    CPreferenceActions m_preferences;
    CReaderFacade m_reader;
    CMessageQueue m_messages;
    std::unique_ptr<CTrafficLog> m_trafficLog;

    CConnectionPanel *m_panel = nullptr;
    CTab *m_tabs = nullptr;
    CMyListCtrl *m_messageList = nullptr;

    std::atomic<bool> m_connected{false};
    std::uint8_t m_previousType = 0;
    bool m_shutDown = false;
    bool m_messageColumnsSized = false;
};
