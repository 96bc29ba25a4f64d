#include "CDlgNetTest.h"

#include "CIocpModeSvr.h"
#include "kit/CAccessible.h"
#include "kit/CMyFunc.h"
#include "kit/CMyListCtrl.h"
#include "kit/CShellPrompts.h"
#include "kit/CTextListModel.h"
#include "kit/IMainWindowServices.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSplitter>
#include <QTime>
#include <QVBoxLayout>

#include <arpa/inet.h>

namespace {

const QString defaultPort = QStringLiteral("65000");
constexpr int maxPortDigits = 5;
// No language key names these fields; screen readers get these names.
const QString hostNameName = QStringLiteral("Host name");
const QString addressListName = QStringLiteral("Local address");
const QString portFieldName = QStringLiteral("Port");
const QString maxConnectionsKey = QStringLiteral("MaxConnections");
const QString firstColumnTitle = QStringLiteral("   ");

QString now()
{
    return QTime::currentTime().toString(QStringLiteral("HH:mm:ss"));
}

QString rowNumber(int row)
{
    return QString::asprintf("%.3d", row);
}

QString dotted(std::uint32_t networkOrder)
{
    in_addr address{};
    address.s_addr = networkOrder;
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address, text, sizeof text);
    return QString::fromLatin1(text);
}

} // namespace

CDlgNetTest::CDlgNetTest(IMainWindowServices &services, QWidget *parent)
    : CPage(services, parent)
    , m_ownPrompts(std::make_unique<CWidgetPrompts>(this))
    , m_prompts(m_ownPrompts.get())
{
    setObjectName(QStringLiteral("CDlgNetTest"));
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

void CDlgNetTest::setPrompts(IShellPrompts *prompts)
{
    m_prompts = prompts;
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
    m_port->setMaxLength(maxPortDigits);
    m_port->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("\\d*")), m_port));
    m_startButton = new QPushButton(this);
    m_startButton->setObjectName(QStringLiteral("startButton"));
    m_stopButton = new QPushButton(this);
    m_stopButton->setObjectName(QStringLiteral("stopButton"));
    m_disconnectButton = new QPushButton(this);
    m_disconnectButton->setObjectName(QStringLiteral("disconnectAllButton"));
    m_hexSwitch = new QCheckBox(this);
    m_hexSwitch->setObjectName(QStringLiteral("hexSwitch"));
    m_hexSwitch->setChecked(true);

    m_connections = new CTextListModel({{firstColumnTitle, Qt::AlignCenter}, {QString(), Qt::AlignCenter},
                                        {QString(), Qt::AlignLeft}, {QString(), Qt::AlignCenter},
                                        {QString(), Qt::AlignCenter}},
                                       0, this);
    m_received = new CTextListModel({{firstColumnTitle, Qt::AlignCenter}, {QString(), Qt::AlignCenter},
                                     {QString(), Qt::AlignLeft}, {QString(), Qt::AlignLeft}},
                                    receivedCapacity, this);
    m_connectionList = new CMyListCtrl(this);
    m_connectionList->setObjectName(QStringLiteral("connectionList"));
    m_connectionList->setModel(m_connections);
    m_connectionList->setColumnWidths({50, 80, 130, 70, 90});
    m_receivedList = new CMyListCtrl(this);
    m_receivedList->setObjectName(QStringLiteral("dataList"));
    m_receivedList->setModel(m_received);
    m_receivedList->setColumnWidths({50, 80, 170});
    m_receivedList->horizontalHeader()->setStretchLastSection(true);

    auto *controls = new QHBoxLayout;
    controls->addWidget(m_hostName, 2);
    controls->addWidget(m_addresses, 3);
    controls->addWidget(m_port, 1);
    controls->addWidget(m_startButton);
    controls->addWidget(m_stopButton);
    controls->addWidget(m_disconnectButton);
    controls->addWidget(m_hexSwitch);
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
    m_startButton->setText(text(startText));
    m_stopButton->setText(text(stopText));
    m_disconnectButton->setText(text(disconnectAllText));
    m_hexSwitch->setText(text(hexText));
    m_connections->setColumnTitles({firstColumnTitle, text(timeColumnText), text(addressColumnText),
                                    text(socketColumnText), text(stateColumnText)});
    m_received->setColumnTitles(
        {firstColumnTitle, text(timeColumnText), text(addressColumnText), text(bytesColumnText)});
    m_hostName->setAccessibleName(hostNameName);
    m_addresses->setAccessibleName(addressListName);
    m_port->setAccessibleName(portFieldName);
    m_connectionList->setAccessibleName(text(addressColumnText) + u' ' + text(stateColumnText));
    m_receivedList->setAccessibleName(text(bytesColumnText));
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
    m_prompts->inform(windowTitle(), tr("The port must be a number from 1 to 65535."));
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
    m_received->clear();
    auto server = std::make_unique<CIocpModeSvr>();
    const int limit = services().setting(maxConnectionsKey).toInt();
    if (limit > 0)
        server->setMaxConnections(static_cast<std::size_t>(limit));
    IMainWindowServices *window = &services();
    server->setLogHook([window](const std::string &line) { window->postLog(QString::fromStdString(line)); });
    setCursor(Qt::BusyCursor);
    const bool started = server->start(&CDlgNetTest::onServerEvent, *port, this);
    unsetCursor();
    if (!started) {
        // The reason follows the specified line, so a busy port is told apart from others.
        services().postLog(text(startFailedText));
        services().postLog(QString::fromStdString(server->lastError()));
        return;
    }
    m_server = std::move(server);
    showListening();
    services().postLog(text(listeningText).replace(QStringLiteral("%s"), m_port->text()));
}

void CDlgNetTest::stopListening()
{
    if (!m_server)
        return;
    setCursor(Qt::BusyCursor);
    stopServer();
    unsetCursor();
    services().postLog(text(stoppedText));
    showIdle();
    m_connections->clear();
    m_connectionRows.clear();
}

void CDlgNetTest::stopServer()
{
    m_server.reset();
    // What the old server queued before it stopped is shown now: handled later, its
    // events would bring back rows the stop clears, or make the next server disconnect a
    // newcomer that happens to get the same number.
    drainEvents();
}

void CDlgNetTest::disconnectAll()
{
    if (m_server)
        m_server->disconnectAll();
    services().postLog(text(disconnectedAllText));
}

void CDlgNetTest::onServerEvent(std::uint32_t peer, std::int32_t connection,
                                const std::uint8_t *data, std::uint32_t length, void *user)
{
    Event event{peer, connection, length, {}};
    if (data != nullptr)
        event.bytes = QByteArray(reinterpret_cast<const char *>(data), static_cast<qsizetype>(length));
    static_cast<CDlgNetTest *>(user)->queueEvent(std::move(event));
}

void CDlgNetTest::queueEvent(Event event)
{
    // Runs on the server's threads: never waits for the user-interface thread.
    bool queueDrain = false;
    {
        std::lock_guard lock(m_eventMutex);
        m_pendingEvents.append(std::move(event));
        queueDrain = !m_drainQueued;
        m_drainQueued = true;
    }
    if (queueDrain)
        m_drains.post([this] { drainEvents(); });
}

void CDlgNetTest::drainEvents()
{
    QList<Event> events;
    {
        std::lock_guard lock(m_eventMutex);
        events.swap(m_pendingEvents);
        m_drainQueued = false;
    }
    QList<QStringList> rows;
    for (const Event &event : events) {
        const QString address = dotted(event.peer);
        const QString socket = QString::asprintf("%d ", event.connection);
        if (event.bytes.isNull() && event.length == 0) {
            updateConnection(address, socket, text(disconnectedText));
            if (m_server)
                m_server->disconnectOne(event.connection);
        } else if (event.bytes.isNull()) {
            updateConnection(address, socket, text(connectedText));
        } else {
            const int number = m_received->rowCount() + static_cast<int>(rows.size()) + 1;
            rows.append({rowNumber(number), now(), address + u':' + socket, bytesText(event.bytes)});
        }
    }
    if (rows.isEmpty())
        return;
    m_received->appendRows(rows);
    m_receivedList->scrollToBottom();
}

void CDlgNetTest::updateConnection(const QString &address, const QString &socket,
                                   const QString &state)
{
    const QString key = address + u'|' + socket;
    if (const auto found = m_connectionRows.constFind(key); found != m_connectionRows.cend()) {
        m_connections->setCellText(*found, 1, now());
        m_connections->setCellText(*found, 4, state);
        return;
    }
    const int row = m_connections->rowCount();
    m_connections->appendRows({{rowNumber(row + 1), now(), address, socket, state}});
    m_connectionRows.insert(key, row);
    m_connectionList->scrollToBottom();
}

QString CDlgNetTest::bytesText(const QByteArray &bytes) const
{
    if (m_hexSwitch->isChecked())
        return CMyFunc::bytesToSpacedHex(bytes);
    // The bytes as narrow text: up to the first zero, invalid sequences replaced.
    const qsizetype end = bytes.indexOf('\0');
    return QString::fromUtf8(end < 0 ? bytes : bytes.left(end));
}
