#pragma once

#include "CReceivedListModel.h"
#include "kit/CPage.h"
#include "kit/CTextListModel.h"
#include "reader/CBatchQueue.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QTimer>

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>

class CIocpModeSvr;
class CMyListCtrl;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// What the network test page holds at most, whatever the peers send. Tests lower them.
struct NetTestBounds {
    // The data list: its newest rows, up to this many rows and this many received bytes.
    int receivedRows = 100000;
    qint64 receivedBytes = 64 * 1024 * 1024;
    // Bytes waiting between the server's threads and the page; blocks beyond are counted as
    // not shown.
    qint64 pendingBytes = 16 * 1024 * 1024;
    // The connection list: its newest rows.
    int connectionRows = 10000;
};

// The network test page: runs the reader server on a port, lists the readers that connect
// with their state, and every block of bytes they send, as hex or as text. The server keeps
// running while other pages are shown; only Stop ends it.
class CDlgNetTest final : public CPage {
    Q_OBJECT

public:
    CDlgNetTest(IMainWindowServices &services, QWidget *parent, NetTestBounds bounds = {});
    ~CDlgNetTest() override;

    void startListening();
    void stopListening();
    void disconnectAll();
    bool isListening() const { return m_server != nullptr; }
    std::uint16_t listeningPort() const;

    CTextListModel *connections() const { return m_connections; }
    CReceivedListModel *received() const { return m_received; }
    // What the server's callback handed over since the last start, shown or not (any thread).
    std::uint64_t blocksSeen() const { return m_blocksSeen; }
    std::uint64_t bytesSeen() const { return m_bytesSeen; }
    // Blocks that came while the queue to the page was full, since the last start.
    std::uint64_t blocksNotShown() const { return m_notShown; }

private:
    // One server event, copied on the server's thread.
    struct Event {
        std::uint32_t peer = 0;
        std::int32_t connection = 0;
        std::uint32_t length = 0;
        QByteArray bytes;
    };

    static void onServerEvent(std::uint32_t peer, std::int32_t connection, const std::uint8_t *data,
        std::uint32_t length, void *user);

    // What one drain changes in the connection list.
    struct ConnectionChanges {
        QList<CTextListModel::CellChange> cells;
        QList<QStringList> newRows;
    };

    void scheduleDrain();
    void drainEvents();
    void noteConnectionEvent(const Event &event, ConnectionChanges &changes);
    void showConnectionChanges(const ConnectionChanges &changes);
    // Counts blocks not shown; the label follows at a bounded rate.
    void noteNotShown(std::uint64_t count);
    void showNotShown();
    void stopServer();
    void clearData();

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
    QLabel *m_notShownLabel = nullptr;
    CMyListCtrl *m_connectionList = nullptr;
    CMyListCtrl *m_receivedList = nullptr;
    CTextListModel *m_connections = nullptr;
    CReceivedListModel *m_received = nullptr;
    const NetTestBounds m_bounds;
    // "address|socket" -> the number of its row in the connection list.
    QHash<QString, qint64> m_connectionRows;
    qint64 m_connectionsAppended = 0;

    std::unique_ptr<CIocpModeSvr> m_server;

    std::atomic<std::uint64_t> m_blocksSeen = 0;
    std::atomic<std::uint64_t> m_bytesSeen = 0;
    std::uint64_t m_notShown = 0; // the user-interface thread's count
    // Under a flood the count changes with nearly every batch: the label, and what a screen
    // reader hears of it, change at most once per period, the last count always shown.
    QElapsedTimer m_sinceNotShownShown;
    QTimer m_notShownRefresh;

    QElapsedTimer m_sinceDrain;
    // Events between the server's threads and the page, bounded in bytes; blocks beyond are
    // counted as not shown, connection events always go in so that no row misses its state.
    CBatchQueue<Event> m_events;
};
