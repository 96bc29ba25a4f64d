#pragma once

#include "kit/CCallQueue.h"
#include "kit/CPage.h"

#include <QByteArray>
#include <QHash>
#include <QList>

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

class CIocpModeSvr;
class CMyListCtrl;
class CTextListModel;
class IShellPrompts;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

// The network test page: runs the reader server on a port, lists the readers that connect
// with their state, and every block of bytes they send, as hex or as text. The server keeps
// running while other pages are shown; only Stop ends it.
class CDlgNetTest final : public CPage
{
    Q_OBJECT

public:
    CDlgNetTest(IMainWindowServices &services, QWidget *parent);
    ~CDlgNetTest() override;

    // Message boxes go here instead (tests).
    void setPrompts(IShellPrompts *prompts);

    void startListening();
    void stopListening();
    void disconnectAll();
    bool isListening() const { return m_server != nullptr; }
    std::uint16_t listeningPort() const;

    CTextListModel *connections() const { return m_connections; }
    CTextListModel *received() const { return m_received; }

    static constexpr int startFailedText = 1032;
    static constexpr int listeningText = 1033;
    static constexpr int stoppedText = 1034;
    static constexpr int disconnectedAllText = 1035;
    static constexpr int disconnectedText = 1036;
    static constexpr int connectedText = 1037;
    static constexpr int timeColumnText = 1039;
    static constexpr int addressColumnText = 1044;
    static constexpr int socketColumnText = 1045;
    static constexpr int stateColumnText = 1046;
    static constexpr int bytesColumnText = 1047;
    static constexpr int startText = 1121;
    static constexpr int stopText = 1122;
    static constexpr int disconnectAllText = 1123;
    static constexpr int hexText = 1124;
    // The data list keeps this many newest rows; every block still reaches the page.
    static constexpr int receivedCapacity = 100000;

private:
    // One server event, copied on the server's thread.
    struct Event
    {
        std::uint32_t peer = 0;
        std::int32_t connection = 0;
        std::uint32_t length = 0;
        QByteArray bytes;
    };

    static void onServerEvent(std::uint32_t peer, std::int32_t connection,
                              const std::uint8_t *data, std::uint32_t length, void *user);
    void queueEvent(Event event);
    void drainEvents();
    void stopServer();
    void updateConnection(const QString &address, const QString &socket, const QString &state);
    QString bytesText(const QByteArray &bytes) const;

    void buildLayout();
    void applyTexts();
    void showIdle();
    void showListening();
    std::optional<std::uint16_t> portFromText();

    QLineEdit *m_hostName = nullptr;
    QComboBox *m_addresses = nullptr;
    QLineEdit *m_port = nullptr;
    QPushButton *m_startButton = nullptr;
    QPushButton *m_stopButton = nullptr;
    QPushButton *m_disconnectButton = nullptr;
    QCheckBox *m_hexSwitch = nullptr;
    CMyListCtrl *m_connectionList = nullptr;
    CMyListCtrl *m_receivedList = nullptr;
    CTextListModel *m_connections = nullptr;
    CTextListModel *m_received = nullptr;
    // "address|socket" -> its row in the connection list.
    QHash<QString, int> m_connectionRows;

    std::unique_ptr<IShellPrompts> m_ownPrompts;
    IShellPrompts *m_prompts = nullptr;
    std::unique_ptr<CIocpModeSvr> m_server;

    std::mutex m_eventMutex;
    QList<Event> m_pendingEvents;
    bool m_drainQueued = false;
    CCallQueue m_drains;
};
