#include "CDlgNetTest.h"

#include "CClippedTextDelegate.h"
#include "CIocpModeSvr.h"
#include "kit/Accessible.h"
#include "kit/CMyFunc.h"
#include "kit/CMyListCtrl.h"
#include "kit/CShellPrompts.h"
#include "kit/CTextListModel.h"
#include "kit/IMainWindowServices.h"
#include "kit/ParamInput.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTime>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const QString defaultPort = QStringLiteral("65000");
constexpr int maxPortDigits = 5;
// No language key names these fields; screen readers get these names.
const QString hostNameName = QStringLiteral("Host name");
const QString addressListName = QStringLiteral("Local address");
const QString portFieldName = QStringLiteral("Port");
const QString maxConnectionsKey = QStringLiteral("MaxConnections");
const QString firstColumnTitle = QStringLiteral("   ");
// What a queued event costs besides its bytes, so that a storm of connection events counts
// against the queue's bound too.
constexpr qint64 eventOverhead = 64;
// Rows come in at most this often (ms): under a flood the window then sleeps between
// batches, and the system gives it the processor at once when it has something to do.
constexpr qint64 drainInterval = 50;
// The not-shown label changes at most this often (ms).
constexpr qint64 notShownInterval = 500;

QString now()
{
    return netlist::timeText(QTime::currentTime());
}

} // namespace

CDlgNetTest::CDlgNetTest(IMainWindowServices &services, QWidget *parent, NetTestBounds bounds)
    : CPage(services, parent)
    , m_bounds(bounds)
    , m_events([this] { scheduleDrain(); }, bounds.pendingBytes)
{
    setObjectName(QStringLiteral("CDlgNetTest"));
    m_notShownRefresh.setSingleShot(true);
    connect(&m_notShownRefresh, &QTimer::timeout, this, &CDlgNetTest::showNotShown);
    buildLayout();
    applyTexts();
    m_hostName->setText(QString::fromStdString(CIocpModeSvr::hostName()));
    for (const std::string &address : CIocpModeSvr::localAddresses())
        m_addresses->addItem(QString::fromStdString(address));
    m_addresses->setCurrentIndex(m_addresses->count() > 0 ? 0 : -1);
    showIdle();
}

CDlgNetTest::~CDlgNetTest()
{
    // No server thread may still call into the page once it goes.
    m_server.reset();
}

void CDlgNetTest::buildLayout()
{
    m_hostName = new QLineEdit(this);
    m_hostName->setObjectName(QStringLiteral("hostName"));
    m_hostName->setReadOnly(true);
    m_addresses = new QComboBox(this);
    m_addresses->setObjectName(QStringLiteral("addressList"));
    m_port = new QLineEdit(defaultPort, this);
    m_port->setObjectName(QStringLiteral("portField"));
    paraminput::limitDecimal(m_port, maxPortDigits);
    m_startButton = new QPushButton(this);
    m_startButton->setObjectName(QStringLiteral("startButton"));
    m_stopButton = new QPushButton(this);
    m_stopButton->setObjectName(QStringLiteral("stopButton"));
    m_disconnectButton = new QPushButton(this);
    m_disconnectButton->setObjectName(QStringLiteral("disconnectAllButton"));
    m_hexSwitch = new QCheckBox(this);
    m_hexSwitch->setObjectName(QStringLiteral("hexSwitch"));
    m_hexSwitch->setChecked(true);
    m_notShownLabel = new QLabel(this);
    m_notShownLabel->setObjectName(QStringLiteral("notShownLabel"));
    m_notShownLabel->hide();

    m_connections
        = new CTextListModel({ { firstColumnTitle, Qt::AlignCenter },
                                 { QString(), Qt::AlignCenter }, { QString(), Qt::AlignLeft },
                                 { QString(), Qt::AlignCenter }, { QString(), Qt::AlignCenter } },
            m_bounds.connectionRows, this);
    m_received = new CReceivedListModel(m_bounds.receivedRows, m_bounds.receivedBytes, this);
    m_connectionList = new CMyListCtrl(this);
    m_connectionList->setObjectName(QStringLiteral("connectionList"));
    m_connectionList->setModel(m_connections);
    m_connectionList->setColumnWidths({ 50, 80, 130, 70, 90 });
    m_receivedList = new CMyListCtrl(this);
    m_receivedList->setObjectName(QStringLiteral("dataList"));
    m_receivedList->setModel(m_received);
    m_receivedList->setColumnWidths({ 50, 80, 170 });
    m_receivedList->horizontalHeader()->setStretchLastSection(true);
    m_receivedList->setItemDelegateForColumn(
        CReceivedListModel::BytesColumn, new CClippedTextDelegate(m_receivedList));

    auto *controls = new QHBoxLayout;
    controls->addWidget(m_hostName, 2);
    controls->addWidget(m_addresses, 3);
    controls->addWidget(m_port, 1);
    controls->addWidget(m_startButton);
    controls->addWidget(m_stopButton);
    controls->addWidget(m_disconnectButton);
    controls->addWidget(m_hexSwitch);
    controls->addWidget(m_notShownLabel);
    auto *lists = new QSplitter(Qt::Horizontal, this);
    lists->addWidget(m_connectionList);
    lists->addWidget(m_receivedList);
    lists->setStretchFactor(1, 2);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(controls);
    layout->addWidget(lists, 1);

    connect(m_startButton, &QPushButton::clicked, this, &CDlgNetTest::startListening);
    connect(m_stopButton, &QPushButton::clicked, this, &CDlgNetTest::stopListening);
    connect(m_disconnectButton, &QPushButton::clicked, this, &CDlgNetTest::disconnectAll);
}

void CDlgNetTest::applyTexts()
{
    m_startButton->setText(text(Text::StartListeningButton));
    m_stopButton->setText(text(Text::StopListeningButton));
    m_disconnectButton->setText(text(Text::DisconnectAllButton));
    m_hexSwitch->setText(text(Text::HexCheck));
    m_connections->setColumnTitles({ firstColumnTitle, text(Text::TimeColumn),
        text(Text::PeerAddressColumn), text(Text::SocketColumn), text(Text::StateColumn) });
    m_received->setColumnTitles(
        text(Text::TimeColumn), text(Text::PeerAddressColumn), text(Text::ReceivedBytesColumn));
    m_hostName->setAccessibleName(hostNameName);
    m_addresses->setAccessibleName(addressListName);
    m_port->setAccessibleName(portFieldName);
    m_connectionList->setAccessibleName(
        text(Text::PeerAddressColumn) + u' ' + text(Text::StateColumn));
    m_receivedList->setAccessibleName(text(Text::ReceivedBytesColumn));
}

void CDlgNetTest::showIdle()
{
    m_startButton->setEnabled(true);
    m_stopButton->setEnabled(false);
    m_disconnectButton->setEnabled(false);
}

void CDlgNetTest::showListening()
{
    m_startButton->setEnabled(false);
    m_stopButton->setEnabled(true);
    m_disconnectButton->setEnabled(true);
}

std::optional<std::uint16_t> CDlgNetTest::portFromText()
{
    bool isNumber = false;
    const int port = m_port->text().toInt(&isNumber);
    if (isNumber && port >= 1 && port <= 65535)
        return static_cast<std::uint16_t>(port);
    // A port outside 1-65535 would silently listen somewhere else.
    services().prompts().inform(windowTitle(), tr("The port must be a number from 1 to 65535."));
    return std::nullopt;
}

std::uint16_t CDlgNetTest::listeningPort() const
{
    return m_server ? m_server->port() : 0;
}

void CDlgNetTest::startListening()
{
    const std::optional<std::uint16_t> port = portFromText();
    if (!port)
        return;
    stopServer();
    clearData();
    auto server = std::make_unique<CIocpModeSvr>();
    const int limit = services().setting(maxConnectionsKey).toInt();
    if (limit > 0)
        server->setMaxConnections(static_cast<std::size_t>(limit));
    IMainWindowServices *window = &services();
    server->setLogHook(
        [window](const std::string &line) { window->postLog(QString::fromStdString(line)); });
    setCursor(Qt::BusyCursor);
    const bool started = server->start(&CDlgNetTest::onServerEvent, *port, this);
    unsetCursor();
    if (!started) {
        // The reason follows the specified line, so a busy port is told apart from others.
        services().postLog(text(Text::ListenFailed));
        services().postLog(QString::fromStdString(server->lastError()));
        return;
    }
    m_server = std::move(server);
    showListening();
    services().postLog(text(Text::Listening).replace(QStringLiteral("%s"), m_port->text()));
}

void CDlgNetTest::stopListening()
{
    if (!m_server)
        return;
    setCursor(Qt::BusyCursor);
    stopServer();
    unsetCursor();
    services().postLog(text(Text::ListeningStopped));
    showIdle();
    m_connections->clear();
    m_connectionRows.clear();
    m_connectionsAppended = 0;
}

void CDlgNetTest::stopServer()
{
    m_server.reset();
    // What the old server queued before it stopped is shown now: handled later, its
    // events would bring back rows the stop clears, or make the next server disconnect a
    // newcomer that happens to get the same number.
    drainEvents();
}

void CDlgNetTest::clearData()
{
    m_received->clear();
    m_blocksSeen = 0;
    m_bytesSeen = 0;
    m_notShown = 0;
    m_notShownRefresh.stop();
    showNotShown();
}

void CDlgNetTest::disconnectAll()
{
    if (m_server)
        m_server->disconnectAll();
    services().postLog(text(Text::AllClientsDisconnected));
}

void CDlgNetTest::onServerEvent(std::uint32_t peer, std::int32_t connection,
    const std::uint8_t *data, std::uint32_t length, void *user)
{
    auto *page = static_cast<CDlgNetTest *>(user);
    if (data == nullptr) {
        page->m_events.push(
            { peer, connection, length, {} }, eventOverhead, CBatchQueue<Event>::Keep::Always);
        return;
    }
    ++page->m_blocksSeen;
    page->m_bytesSeen += length;
    // A block left out under a flood is only counted: its bytes are never copied.
    page->m_events.pushIfRoom(static_cast<qint64>(length) + eventOverhead, [&] {
        return Event { peer, connection, length,
            QByteArray(reinterpret_cast<const char *>(data), static_cast<qsizetype>(length)) };
    });
}

void CDlgNetTest::scheduleDrain()
{
    const qint64 wait = m_sinceDrain.isValid() ? drainInterval - m_sinceDrain.elapsed() : 0;
    if (wait > 0)
        QTimer::singleShot(wait, this, &CDlgNetTest::drainEvents);
    else
        drainEvents();
}

void CDlgNetTest::drainEvents()
{
    m_sinceDrain.start();
    CBatchQueue<Event>::Batch pending = m_events.take();
    QList<CReceivedListModel::Block> blocks;
    ConnectionChanges connections;
    for (Event &event : pending.items) {
        if (event.bytes.isNull())
            noteConnectionEvent(event, connections);
        else
            blocks.append({ event.peer, event.connection, std::move(event.bytes) });
    }
    showConnectionChanges(connections);
    if (pending.leftOut > 0)
        noteNotShown(m_notShown + pending.leftOut);
    if (blocks.isEmpty())
        return;
    const auto form
        = m_hexSwitch->isChecked() ? CReceivedListModel::Form::Hex : CReceivedListModel::Form::Text;
    m_received->append(std::move(blocks), form, QTime::currentTime());
    m_receivedList->scrollToBottom();
}

// A connection's row is looked for by its address and socket texts: found, its time and state
// change; otherwise a row is appended. The changes of one drain reach the list together.
void CDlgNetTest::noteConnectionEvent(const Event &event, ConnectionChanges &changes)
{
    const bool connected = event.length != 0;
    const QString address = netlist::addressText(event.peer);
    const QString socket = netlist::socketText(event.connection);
    const QString state = text(connected ? Text::ClientConnected : Text::ClientDisconnected);
    if (!connected && m_server)
        m_server->disconnectOne(event.connection);
    const QString key = address + u'|' + socket;
    const auto found = m_connectionRows.constFind(key);
    if (found == m_connectionRows.cend()) {
        ++m_connectionsAppended;
        changes.newRows.append(
            { netlist::rowNumber(m_connectionsAppended), now(), address, socket, state });
        m_connectionRows.insert(key, m_connectionsAppended);
        return;
    }
    const qint64 numberInList = m_connectionsAppended - changes.newRows.size();
    if (*found > numberInList) {
        QStringList &row = changes.newRows[static_cast<qsizetype>(*found - numberInList - 1)];
        row[1] = now();
        row[4] = state;
        return;
    }
    const int row = static_cast<int>(*found - (numberInList - m_connections->rowCount() + 1));
    changes.cells.append({ row, 1, now() });
    changes.cells.append({ row, 4, state });
}

void CDlgNetTest::showConnectionChanges(const ConnectionChanges &changes)
{
    m_connections->setCellTexts(changes.cells);
    if (changes.newRows.isEmpty())
        return;
    // The list keeps its newest rows: a later event of a connection whose row went appends a
    // new one.
    const int excess = static_cast<int>(
        m_connections->rowCount() + changes.newRows.size() - m_bounds.connectionRows);
    for (int index = 0; index < excess; ++index) {
        const QStringList row = index < m_connections->rowCount()
            ? QStringList { m_connections->cellText(index, 2), m_connections->cellText(index, 3) }
            : changes.newRows[index - m_connections->rowCount()].mid(2, 2);
        m_connectionRows.remove(row[0] + u'|' + row[1]);
    }
    m_connections->appendRows(changes.newRows);
    m_connectionList->scrollToBottom();
}

void CDlgNetTest::noteNotShown(std::uint64_t count)
{
    m_notShown = count;
    if (m_notShownRefresh.isActive())
        return;
    const qint64 wait
        = m_sinceNotShownShown.isValid() ? notShownInterval - m_sinceNotShownShown.elapsed() : 0;
    if (wait > 0)
        m_notShownRefresh.start(static_cast<int>(wait));
    else
        showNotShown();
}

// The label names itself by what it shows, so a screen reader speaks the count.
void CDlgNetTest::showNotShown()
{
    m_sinceNotShownShown.start();
    const std::uint64_t count = m_notShown;
    const QString shown
        = count == 1 ? tr("1 block not shown") : tr("%1 blocks not shown").arg(count);
    m_notShownLabel->setText(shown);
    m_notShownLabel->setAccessibleName(shown);
    m_notShownLabel->setVisible(count > 0);
}
