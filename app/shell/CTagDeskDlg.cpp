#include "shell/CTagDeskDlg.h"

#include "kit/Accessible.h"
#include "kit/CButtonST.h"
#include "kit/CMyFunc.h"
#include "kit/CMyListCtrl.h"
#include "kit/CTextListModel.h"
#include "kit/ToolWindow.h"
#include "reader/CReaderEvents.h"
#include "reader_family.h"
#include "shell/CConnectionPanel.h"
#include "shell/CPageFactory.h"
#include "shell/CTab.h"
#include "shell/CTagDeskApp.h"
#include "shell/CTrafficLog.h"

#include <QComboBox>
#include <QContextMenuEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QSplitter>
#include <QThread>
#include <QTime>
#include <QVBoxLayout>

namespace {

// Half the list's width goes to the time column less this, to the text column plus this.
constexpr int messageColumnShift = 330;
constexpr int minimumTimeColumnWidth = 80;
// Pause before each system-information request after an open; readers need a moment.
constexpr unsigned long systemInfoPauseMs = 5;
const QString networkScanTool = QStringLiteral("Seeker/Locator");
const QString logoFile = QStringLiteral("logo/hello.bmp");
// The icon the desktop entry installs; the logo stands in when it is not installed.
const QString desktopIconName = QStringLiteral("org.tagbench.TagBench");

QString versionText(std::uint8_t version)
{
    return QStringLiteral("%1.%2").arg(version >> 4).arg(version & 0x0F);
}

} // namespace

CTagDeskDlg::CTagDeskDlg(
    const CAppPaths &paths, const CDataFiles &dataFiles, const CPageFactory &pages, QWidget *parent)
    : QDialog(parent)
    , m_services(paths, dataFiles)
    , m_widgetPrompts(this)
    , m_preferences(m_services, *this)
    , m_events(std::make_unique<CReaderEvents>(m_facade))
    , m_profiles(*this, [this](RecordKind kind, const ParamRecord &record) {
        m_tabs->showWrittenRecord(kind, record);
        if (m_maintenance)
            m_maintenance->showWrittenRecord(kind, record);
    })
{
    initialise(pages);
}

CTagDeskDlg::~CTagDeskDlg()
{
    shutDown();
    // Pages may still post lines or hold jobs while they end: they go first, while the
    // services they were handed still exist.
    delete m_maintenance;
    delete m_tabs;
}

void CTagDeskDlg::initialise(const CPageFactory &pages)
{
    buildLayout();
    startMessageLog();
    fillDeviceLists();
    m_services.loadConfiguration();
    m_services.loadLanguage();
    applyTexts();
    m_panel->putConfiguration(m_services.config());
    m_facade.setTransport(m_services.config().transport());
    setWindowTitle(CTagDeskApp::windowCaption(text(Text::ProgramName)));
    setWindowIcon(QIcon::fromTheme(desktopIconName, QIcon(dataFile(logoFile))));
    m_tabs->createPages(pages, *this);
    m_maintenance = pages.createMaintenanceWindow(*this, this);
    m_services.attachSkin();
    setUpMessageList();
    accessible::nameControls(this);
    connectActions();
    subscribeTrafficLog();
}

void CTagDeskDlg::buildLayout()
{
    setWindowFlag(Qt::WindowMinMaxButtonsHint);
    m_panel = new CConnectionPanel(this);
    m_tabs = new CTab(this);
    m_tabs->setObjectName(QStringLiteral("tabs"));
    m_messageModel
        = new CTextListModel({ { QString(), Qt::AlignHCenter }, { QString(), Qt::AlignLeft } },
            messageListCapacity, this);
    m_messageList = new CMyListCtrl(this);
    m_messageList->setObjectName(QStringLiteral("messageList"));
    m_messageList->setModel(m_messageModel);

    auto *top = new QWidget(this);
    auto *topRow = new QHBoxLayout(top);
    topRow->setContentsMargins(0, 0, 0, 0);
    topRow->addWidget(m_panel);
    topRow->addWidget(m_tabs, 1);
    auto *splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(top);
    splitter->addWidget(m_messageList);
    splitter->setStretchFactor(0, 1);
    splitter->setSizes({ 560, 200 });
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(splitter);
    resize(1200, 800);
}

void CTagDeskDlg::setUpMessageList()
{
    m_messageModel->setColumnTitles(
        { text(Text::MessageTimeColumn), text(Text::MessageTextColumn) });
    m_messageList->setColumnWidth(0, minimumTimeColumnWidth);
    m_messageList->horizontalHeader()->setStretchLastSection(true);
    m_messageList->setAccessibleName(text(Text::MessageTextColumn));
    // Batches of one pass are inserted together; the newest line is then scrolled to once.
    connect(m_messageModel, &QAbstractItemModel::rowsInserted, m_messageList,
        &QAbstractItemView::scrollToBottom);
}

void CTagDeskDlg::sizeMessageColumns()
{
    const int half = m_messageList->viewport()->width() / 2;
    m_messageList->setColumnWidth(0, std::max(half - messageColumnShift, minimumTimeColumnWidth));
    m_messageList->setColumnWidth(1, half + messageColumnShift);
}

void CTagDeskDlg::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // The list has its real size only once the window is shown.
    if (!m_messageColumnsSized) {
        sizeMessageColumns();
        m_messageColumnsSized = true;
    }
}

void CTagDeskDlg::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu(this);
    menu.addAction(tr("About (&A)"), this, &CTagDeskDlg::showAbout);
    menu.exec(event->globalPos());
}

void CTagDeskDlg::showAbout()
{
    QMessageBox::about(this, windowTitle(),
        CTagDeskApp::windowCaption(text(Text::ProgramName)) + QStringLiteral("\n")
            + CTagDeskApp::programName + u' ' + CTagDeskApp::versionText());
}

void CTagDeskDlg::startMessageLog()
{
    // Runs on the consumer thread with every line waiting: the rows go to the user-interface
    // thread as one batch, the log file is written here once per batch. Batches arrive in
    // queue order because queued calls keep theirs.
    m_messages.start([this](const QStringList &lines) {
        const QString time = QTime::currentTime().toString(QStringLiteral("HH:mm:ss"));
        QList<QStringList> rows;
        rows.reserve(lines.size());
        for (const QString &line : lines)
            rows.append({ time, line });
        QMetaObject::invokeMethod(
            m_messageModel,
            [this, rows = std::move(rows)] { m_messageModel->appendRowsThisTurn(rows); },
            Qt::QueuedConnection);
        m_services.logFile().appendLines(lines);
    });
}

void CTagDeskDlg::fillDeviceLists()
{
    QStringList serialPorts;
    CMyFunc::enumerateSerialPorts(serialPorts);
    m_panel->setDeviceLists(serialPorts, CReaderFacade::usbDevices());
}

void CTagDeskDlg::applyTexts()
{
    m_panel->applyTexts([this](Text key) { return text(key); });
}

void CTagDeskDlg::connectActions()
{
    connect(&m_connection, &CConnection::stateChanged, this, &CTagDeskDlg::showConnectionState);
    connect(m_panel, &CConnectionPanel::openRequested, this, &CTagDeskDlg::openConnection);
    connect(m_panel, &CConnectionPanel::closeRequested, this, &CTagDeskDlg::closeConnection);
    connect(m_panel, &CConnectionPanel::portScanRequested, this, &CTagDeskDlg::scanPorts);
    connect(m_panel, &CConnectionPanel::networkScanRequested, this, &CTagDeskDlg::scanNetwork);
    connect(m_panel, &CConnectionPanel::relayCloseRequested, this, &CTagDeskDlg::relayClose);
    connect(m_panel, &CConnectionPanel::relayReleaseRequested, this, &CTagDeskDlg::relayRelease);
    connect(
        m_panel, &CConnectionPanel::exportRequested, &m_profiles, &CProfileActions::exportProfile);
    connect(
        m_panel, &CConnectionPanel::importRequested, &m_profiles, &CProfileActions::importProfile);
    connect(
        &m_profiles, &CProfileActions::runningChanged, this, &CTagDeskDlg::updateProfileButtons);
    // activated: only the operator's choice asks, not the selection made at start-up.
    connect(languageList(), &QComboBox::activated, this,
        [this](int position) { m_preferences.changeLanguage(position); });
    connect(skinButton(), &QToolButton::clicked, this, [this] { m_preferences.chooseSkin(); });
    connect(m_panel, &CConnectionPanel::maintenanceRequested, this,
        &CTagDeskDlg::showMaintenanceWindow);
}

void CTagDeskDlg::showMaintenanceWindow()
{
    if (!m_maintenance)
        return;
    toolwindow::showBeside(*m_maintenance, *this);
}

void CTagDeskDlg::subscribeTrafficLog()
{
    m_trafficLog = std::make_unique<CTrafficLog>(
        CTrafficLog::Texts { text(Text::FrameSentLabel), text(Text::FrameReceivedLabel),
            text(Text::LinkLost), text(Text::LinkRestored) },
        [this](const QString &line) { postLog(line); });
    m_trafficLog->subscribe(*m_events);
}

QComboBox *CTagDeskDlg::languageList() const
{
    return m_panel->languageList();
}

CButtonST *CTagDeskDlg::skinButton() const
{
    return m_panel->skinButton();
}

void CTagDeskDlg::preselectNetwork(const QString &ipAddress, const QString &portText)
{
    m_panel->selectTransport(Transport::Network);
    m_panel->setNetworkFields(ipAddress, portText);
}

void CTagDeskDlg::openConnection()
{
    if (m_connection.isPending())
        return;
    const Transport transport = m_panel->chosenTransport(m_facade.transport());
    m_facade.setTransport(transport);
    const std::optional<OpenRequest> request = m_panel->openRequest(transport);
    if (!request)
        return;
    m_connection.moveTo(CConnection::State::Opening);
    m_worker.submit(
        this, [this, request = *request](IReader &) { return runOpen(request); },
        [this, request = *request](const OpenOutcome &outcome) { finishOpen(request, outcome); });
}

// On the reader worker: the library calls of an Open and their log lines.
CTagDeskDlg::OpenOutcome CTagDeskDlg::runOpen(const OpenRequest &request)
{
    OpenOutcome outcome;
    if (!openTransport(request))
        return outcome;
    if (!readSystemInfo(outcome.info)) {
        postLog(text(Text::NoSystemInformation));
        m_facade.closeDevice();
        return outcome;
    }
    outcome.opened = true;
    return outcome;
}

bool CTagDeskDlg::openTransport(const OpenRequest &request)
{
    bool opened = false;
    switch (request.transport) {
    case Transport::Serial:
        opened = m_facade.openSerial(request.portName, request.baudRate) != 0;
        postLog(text(opened ? Text::SerialOpened : Text::SerialOpenFailed));
        break;
    case Transport::Usb:
        opened = m_facade.openUsb(request.usbPosition) != 0;
        postLog(text(opened ? Text::UsbOpened : Text::UsbOpenFailed));
        break;
    case Transport::Network:
        opened = m_facade.openNetwork(request.ipAddress, request.port) != 0;
        postLog(text(opened ? Text::NetworkOpened : Text::NetworkOpenFailed));
        break;
    }
    return opened;
}

bool CTagDeskDlg::readSystemInfo(SystemInfo &info)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        QThread::msleep(systemInfoPauseMs);
        if (const std::optional<SystemInfo> answer = m_reader.systemInfo()) {
            info = *answer;
            return true;
        }
    }
    return false;
}

void CTagDeskDlg::finishOpen(const OpenRequest &request, const OpenOutcome &outcome)
{
    // A Close requested while the Open ran closes the reader after it: this Open is over.
    if (m_connection.state() != CConnection::State::Opening)
        return;
    if (!outcome.opened) {
        m_connection.moveTo(CConnection::State::Closed);
        return;
    }
    m_panel->rememberOpen(request.transport, m_services.config());
    m_events->setTrafficEnabled(true);
    showConnected(outcome.info);
}

void CTagDeskDlg::showConnected(const SystemInfo &info)
{
    std::copy(info.begin() + 2, info.begin() + 9, m_serialNumber.begin());
    m_panel->showIdentity(CMyFunc::bytesToCompactHex(m_serialNumber.data(), 7),
        versionText(info[0]), versionText(info[1]));
    m_tabs->setDeviceType(info[2]);
    m_connection.moveTo(CConnection::State::Open);
    m_events->notifyConnection(true);
    m_tabs->setUpFamily();
}

void CTagDeskDlg::showConnectionState(CConnection::State state)
{
    m_panel->showState(state, readerfamily::familyOf(deviceType()) != readerfamily::Family::Alder);
    updateProfileButtons();
}

void CTagDeskDlg::closeConnection()
{
    m_tabs->stopAllWork();
    m_events->setTrafficEnabled(false);
    m_connection.moveTo(CConnection::State::Closing);
    m_worker.submit(
        this,
        [this](IReader &) {
            m_facade.closeDevice();
            postLog(text(Text::ConnectionClosed));
        },
        [this] {
            m_connection.moveTo(CConnection::State::Closed);
            m_events->notifyConnection(false);
        });
}

void CTagDeskDlg::relayClose()
{
    // The outcome is posted from the job, so it follows the command's traffic lines.
    m_worker.post([this](IReader &reader) { postRelayResult(reader.relayOn()); });
}

void CTagDeskDlg::relayRelease()
{
    m_worker.post([this](IReader &reader) { postRelayResult(reader.relayOff()); });
}

void CTagDeskDlg::postRelayResult(bool done)
{
    postLog(text(done ? Text::OperationSucceeded : Text::OperationFailed));
}

void CTagDeskDlg::updateProfileButtons()
{
    m_panel->setProfileButtonsEnabled(isConnected() && !m_profiles.isRunning());
}

void CTagDeskDlg::scanPorts()
{
    fillDeviceLists();
}

void CTagDeskDlg::scanNetwork()
{
    // The scan tool is an optional companion program; whether it started is not reported.
    const QString tool = networkScanToolPath();
    if (!tool.isEmpty() && QFileInfo(tool).isExecutable())
        QProcess::startDetached(tool, {});
}

QString CTagDeskDlg::networkScanToolPath() const
{
    return m_services.dataFiles().locateBesideProgram(networkScanTool);
}

QStringList CTagDeskDlg::languageNames() const
{
    return m_services.config().languageNames();
}

QStringList CTagDeskDlg::frequencyPresets() const
{
    return m_services.config().frequencyPresets();
}

QStringList CTagDeskDlg::protocols() const
{
    return m_services.config().protocols();
}

QString CTagDeskDlg::dataFile(const QString &relativePath) const
{
    return m_services.dataFiles().locate(relativePath);
}

QString CTagDeskDlg::setting(const QString &key) const
{
    return m_services.config().readText(key);
}

bool CTagDeskDlg::gs1Column() const
{
    return m_services.config().gs1Column();
}

void CTagDeskDlg::setGs1Column(bool shown)
{
    m_services.config().setGs1Column(shown);
}

void CTagDeskDlg::postLog(const QString &line)
{
    m_messages.post(line);
}

std::uint8_t CTagDeskDlg::deviceType() const
{
    return m_tabs->deviceType();
}

void CTagDeskDlg::readerMovedTo(const ReaderEndpoint &endpoint)
{
    m_panel->showEndpoint(endpoint);
}

void CTagDeskDlg::done(int result)
{
    shutDown();
    QDialog::done(result);
}

void CTagDeskDlg::shutDown()
{
    if (m_shutDown)
        return;
    m_shutDown = true;
    // The consumer goes first: lines posted from here on, Close's own included, are dropped,
    // and no queued row can reach a list that is about to go. The worker finishes its job
    // (an Open waits at most for its time-outs) before the connection closes here directly.
    m_messages.stop();
    m_tabs->stopAllWork();
    // An upgrade in progress stops after its current block rather than keep the worker.
    if (m_maintenance)
        m_maintenance->stopWork();
    m_worker.stop();
    m_events->setTrafficEnabled(false);
    m_events->setReportsEnabled(false);
    m_facade.closeDevice();
    m_connection.moveTo(CConnection::State::Closed);
}
