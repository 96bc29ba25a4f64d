#pragma once

#include "kit/CPage.h"
#include "kit/CShellPrompts.h"
#include "kit/IMainWindowServices.h"
#include "reader/CConnection.h"
#include "reader/CReader.h"
#include "reader/CReaderFacade.h"
#include "reader/CReaderWorker.h"
#include "shell/CMessageQueue.h"
#include "shell/CPreferenceActions.h"
#include "shell/CProfileActions.h"
#include "shell/CShellServices.h"

#include <QDialog>
#include <QPointer>

#include <array>
#include <cstdint>
#include <memory>

class CButtonST;
class CConnectionPanel;
class CMyListCtrl;
class CPageFactory;
class CReaderEvents;
class CTab;
class CTextListModel;
class CTrafficLog;
class QComboBox;

// The main window: the connection panel, the tab control with the pages of the connected
// reader's family, and the message list that shows every log line of the program (each also
// goes to the log file). It owns the connection: Open reads the reader's identity and picks
// the family's pages, Close ends the pages' work and the connection. Both run on the reader
// worker, so a reader that does not answer never freezes the window.
class CTagDeskDlg : public QDialog, public IMainWindowServices {
    Q_OBJECT

public:
    // Constructs the shell services (creates SystemConfig.ini when missing, starts the log
    // file), then initialises the window with the factory's pages: message log, device lists,
    // configuration, language, captions, pages, skin.
    CTagDeskDlg(const CAppPaths &paths, const CDataFiles &dataFiles, const CPageFactory &pages,
        QWidget *parent = nullptr);
    ~CTagDeskDlg() override;

    CShellServices &services() { return m_services; }
    // Message boxes and file choosers of the window and its pages go there instead (tests).
    void setPrompts(IShellPrompts &prompts) { m_prompts = &prompts; }
    using IMainWindowServices::text;
    QString text(int key) const override { return m_services.text(key); }

    CTab *tabs() const { return m_tabs; }
    // The profile export and import behind the panel's buttons.
    CProfileActions &profiles() { return m_profiles; }
    CMyListCtrl *messageList() const { return m_messageList; }
    CTextListModel *messages() const { return m_messageModel; }
    QComboBox *languageList() const;
    CButtonST *skinButton() const;
    // The maintenance window (hidden until the panel's button shows it); null when the
    // program registered none.
    CPage *maintenanceWindow() const { return m_maintenance; }

    // Chooses the network transport at this address without writing the configuration
    // (the demo reader).
    void preselectNetwork(const QString &ipAddress, const QString &portText);

    // The panel's buttons. Open, Close and the relay run on the reader worker.
    void openConnection();
    void relayClose();
    void relayRelease();
    void scanPorts();
    void scanNetwork();
    // The network scan tool that scanNetwork() starts: beside the program, never in the
    // working directory; empty when there is none.
    QString networkScanToolPath() const;
    const CConnection &connection() const { return m_connection; }
    // Whether an Open or Close is still on its way.
    bool connectionPending() const { return m_connection.isPending(); }

    // IMainWindowServices
    bool isConnected() const override { return m_connection.isOpen(); }
    Transport transport() const override { return m_facade.transport(); }
    std::uint8_t deviceType() const override;
    std::array<std::uint8_t, 7> serialNumber() const override { return m_serialNumber; }
    IReader &reader() override { return m_reader; }
    CReaderWorker &worker() override { return m_worker; }
    CReaderEvents &events() override { return *m_events; }
    IShellPrompts &prompts() override { return *m_prompts; }
    QStringList languageNames() const override;
    QStringList frequencyPresets() const override;
    QStringList protocols() const override;
    QString dataFile(const QString &relativePath) const override;
    QString setting(const QString &key) const override;
    bool gs1Column() const override;
    void setGs1Column(bool shown) override;
    void postLog(const QString &line) override;
    void closeConnection() override;
    void readerMovedTo(const ReaderEndpoint &endpoint) override;

    // The message list shows this many newest lines; the log file keeps all of them.
    static constexpr int messageListCapacity = 100000;

public slots:
    // The window's close request: ends the message log, closes the connection, then the run.
    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    struct OpenOutcome {
        bool opened = false;
        SystemInfo info {};
    };

    void initialise(const CPageFactory &pages);
    void buildLayout();
    void setUpMessageList();
    void sizeMessageColumns();
    void startMessageLog();
    void fillDeviceLists();
    void applyTexts();
    void connectActions();
    void subscribeTrafficLog();
    void showAbout();
    void showMaintenanceWindow();

    OpenOutcome runOpen(const OpenRequest &request);
    bool openTransport(const OpenRequest &request);
    bool readSystemInfo(SystemInfo &info);
    void finishOpen(const OpenRequest &request, const OpenOutcome &outcome);
    void showConnected(const SystemInfo &info);
    void showConnectionState(CConnection::State state);
    void postRelayResult(bool done);
    // The profile buttons are on while a reader is connected and no profile work runs.
    void updateProfileButtons();
    void shutDown();

    CShellServices m_services;
    CWidgetPrompts m_widgetPrompts;
    IShellPrompts *m_prompts = &m_widgetPrompts;
    CPreferenceActions m_preferences;
    CMessageQueue m_messages;
    CConnection m_connection;
    CReaderFacade m_facade;
    CReader m_reader { m_facade };
    std::unique_ptr<CReaderEvents> m_events;
    std::unique_ptr<CTrafficLog> m_trafficLog;
    CProfileActions m_profiles;
    // Last of the reader members: its thread ends before the reader it calls goes.
    CReaderWorker m_worker { m_reader };

    CConnectionPanel *m_panel = nullptr;
    CTab *m_tabs = nullptr;
    CMyListCtrl *m_messageList = nullptr;
    CTextListModel *m_messageModel = nullptr;
    QPointer<CPage> m_maintenance;

    std::array<std::uint8_t, 7> m_serialNumber {};
    bool m_shutDown = false;
    bool m_messageColumnsSized = false;
};
