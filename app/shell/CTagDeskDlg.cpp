#include "shell/CTagDeskDlg.h"

#include "shell/CButtonST.h"
#include "shell/CConnectionPanel.h"
#include "shell/CMyFunc.h"
#include "shell/CMyListCtrl.h"
#include "shell/CPageFactory.h"
#include "shell/CTab.h"
#include "shell/CTagDeskApp.h"
#include "shell/CTrafficLog.h"

#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
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

QString versionText(std::uint8_t version)
{
    return QStringLiteral("%1.%2").arg(version >> 4).arg(version & 0x0F);
}

} // namespace

CTagDeskDlg::CTagDeskDlg(const CAppPaths &paths, const CDataFiles &dataFiles, QWidget *parent)
    : CTagDeskDlg(paths, dataFiles, CPageFactory::standard(), parent)
{
}

CTagDeskDlg::CTagDeskDlg(const CAppPaths &paths, const CDataFiles &dataFiles,
                         const CPageFactory &pages, QWidget *parent)
    : QDialog(parent)
    , m_services(paths, dataFiles)
    , m_prompts(this)
    , m_preferences(m_services, m_prompts)
{
    initialise(pages);
}

CTagDeskDlg::~CTagDeskDlg()
{
    shutDown();
    // Pages may still post lines or call the reader while they end: they go first, while the
    // services they were handed still exist.
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
    m_reader.setTransport(m_services.config().transport());
    setWindowTitle(CTagDeskApp::windowCaption(text(titleText)));
    m_tabs->createPages(pages, *this);
    m_services.attachSkin();
    setUpMessageList();
    connectActions();
    publishTrafficLog();
}

void CTagDeskDlg::buildLayout()
{
    setWindowFlag(Qt::WindowMinMaxButtonsHint);
    m_panel = new CConnectionPanel(this);
    m_tabs = new CTab(this);
    m_tabs->setObjectName(QStringLiteral("tabs"));
    m_messageList = new CMyListCtrl(this);
    m_messageList->setObjectName(QStringLiteral("messageList"));

    auto *top = new QWidget(this);
    auto *topRow = new QHBoxLayout(top);
    topRow->setContentsMargins(0, 0, 0, 0);
    topRow->addWidget(m_panel);
    topRow->addWidget(m_tabs, 1);
    auto *splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(top);
    splitter->addWidget(m_messageList);
    splitter->setStretchFactor(0, 1);
    splitter->setSizes({560, 200});
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(splitter);
    resize(1200, 800);
}

void CTagDeskDlg::setUpMessageList()
{
    m_messageList->setColumns({{text(timeColumnText), minimumTimeColumnWidth, Qt::AlignHCenter},
                               {text(messageColumnText), 0, Qt::AlignLeft}});
    m_messageList->horizontalHeader()->setStretchLastSection(true);
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

void CTagDeskDlg::startMessageLog()
{
    // Runs on the consumer thread: the row is handed to the user-interface thread, the log
    // file is written here. Rows arrive in queue order because queued calls keep theirs.
    m_messages.start([this](const QString &line) {
        const QString time = QTime::currentTime().toString(QStringLiteral("HH:mm:ss"));
        QMetaObject::invokeMethod(
            m_messageList, [this, time, line] { appendMessageRow(time, line); },
            Qt::QueuedConnection);
        m_services.logFile().appendLine(line);
    });
}

void CTagDeskDlg::appendMessageRow(const QString &time, const QString &line)
{
    const int row = m_messageList->appendRow({time, line});
    m_messageList->scrollToItem(m_messageList->item(row, 0));
}

void CTagDeskDlg::fillDeviceLists()
{
    QStringList serialPorts;
    CMyFunc::enumerateSerialPorts(serialPorts);
    m_panel->setDeviceLists(serialPorts, CReaderFacade::usbDevices());
}

void CTagDeskDlg::applyTexts()
{
    m_panel->applyTexts([this](int key) { return text(key); });
}

void CTagDeskDlg::connectActions()
{
    connect(m_panel, &CConnectionPanel::openRequested, this, &CTagDeskDlg::openConnection);
    connect(m_panel, &CConnectionPanel::closeRequested, this, &CTagDeskDlg::closeConnection);
    connect(m_panel, &CConnectionPanel::portScanRequested, this, &CTagDeskDlg::scanPorts);
    connect(m_panel, &CConnectionPanel::networkScanRequested, this, &CTagDeskDlg::scanNetwork);
    connect(m_panel, &CConnectionPanel::relayCloseRequested, this, &CTagDeskDlg::relayClose);
    connect(m_panel, &CConnectionPanel::relayReleaseRequested, this,
            &CTagDeskDlg::relayRelease);
    // activated: only the operator's choice asks, not the selection made at start-up.
    connect(languageList(), &QComboBox::activated, this,
            [this](int position) { m_preferences.changeLanguage(position); });
    connect(skinButton(), &QToolButton::clicked, this, [this] { m_preferences.chooseSkin(); });
}

void CTagDeskDlg::publishTrafficLog()
{
    m_trafficLog = std::make_unique<CTrafficLog>(
        CTrafficLog::Texts{text(CTrafficLog::sentLabelText),
                           text(CTrafficLog::receivedLabelText),
                           text(CTrafficLog::linkLostText), text(CTrafficLog::linkRestoredText)},
        [this](const QString &line) { postLog(line); });
    CTrafficLog::publish(m_trafficLog.get());
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
    m_panel->selectTransport(CReaderFacade::Network);
    m_panel->setNetworkFields(ipAddress, portText);
}

void CTagDeskDlg::openConnection()
{
    m_reader.setTransport(m_panel->chosenTransport(m_reader.transport()));
    if (!openTransport())
        return;
    SystemInfo info{};
    if (!readSystemInfo(info)) {
        postLog(text(noSystemInfoText));
        m_reader.closeDevice();
        return;
    }
    rememberSettings();
    m_reader.setCallbackDebug(&CTrafficLog::callback);
    showConnected(info);
}

bool CTagDeskDlg::openTransport()
{
    switch (m_reader.transport()) {
    case CReaderFacade::Serial:
        return openSerial();
    case CReaderFacade::Usb:
        return openUsb();
    case CReaderFacade::Network:
        return openNetwork();
    default:
        return false;
    }
}

bool CTagDeskDlg::openSerial()
{
    // With no port listed and none typed there is nothing to open.
    const QString portName = m_panel->serialPortName();
    if (portName.isEmpty())
        return false;
    const bool opened = m_reader.openSerial(CMyFunc::toNarrow(portName), m_panel->baudRate());
    postLog(text(opened ? serialOpenedText : serialOpenFailedText));
    return opened;
}

bool CTagDeskDlg::openUsb()
{
    const int position = m_panel->usbPosition();
    if (position < 0)
        return false;
    const bool opened = m_reader.openUsb(static_cast<std::uint16_t>(position));
    postLog(text(opened ? usbOpenedText : usbOpenFailedText));
    return opened;
}

bool CTagDeskDlg::openNetwork()
{
    const auto port = static_cast<std::uint16_t>(m_panel->portText().toInt() & 0xFFFF);
    const bool opened = m_reader.openNetwork(CMyFunc::toNarrow(m_panel->ipAddressText()), port);
    postLog(text(opened ? networkOpenedText : networkOpenFailedText));
    return opened;
}

bool CTagDeskDlg::readSystemInfo(SystemInfo &info)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        QThread::msleep(systemInfoPauseMs);
        if (m_reader.getDeviceSystemInfo(info.data()))
            return true;
    }
    return false;
}

void CTagDeskDlg::rememberSettings()
{
    CConfigStore &config = m_services.config();
    switch (m_reader.transport()) {
    case CReaderFacade::Serial:
        config.rememberSerialOpen(m_panel->serialPosition(), m_panel->baudPosition());
        break;
    case CReaderFacade::Usb:
        config.rememberUsbOpen(m_panel->usbPosition());
        break;
    case CReaderFacade::Network:
        config.rememberNetworkOpen(m_panel->ipAddressText(), m_panel->portText());
        break;
    default:
        break;
    }
}

void CTagDeskDlg::showConnected(const SystemInfo &info)
{
    const std::uint8_t type = info[2];
    m_panel->showIdentity(CMyFunc::bytesToCompactHex(info.data() + 2, 7), versionText(info[0]),
                          versionText(info[1]));
    m_panel->showOpen(type != alderType);
    m_tabs->setDeviceType(type);
    m_connected = true;
    setUpPages(type);
}

void CTagDeskDlg::setUpPages(std::uint8_t type)
{
    if (m_previousType != 0 && m_previousType != type) {
        m_tabs->clearTabsBuilt();
        m_tabs->setUpFamily();
        m_tabs->selectTab(0);
    } else {
        m_tabs->setUpFamily();
    }
    m_previousType = type;
}

void CTagDeskDlg::closeConnection()
{
    m_tabs->stopAllWork();
    m_reader.setCallbackDebug(nullptr);
    m_reader.closeDevice();
    m_connected = false;
    postLog(text(closedText));
    m_panel->showClosed();
}

void CTagDeskDlg::relayClose()
{
    postRelayResult(m_reader.relayOn());
}

void CTagDeskDlg::relayRelease()
{
    postRelayResult(m_reader.relayOff());
}

void CTagDeskDlg::postRelayResult(int result)
{
    postLog(text(result == 0 ? failedText : doneText));
}

void CTagDeskDlg::scanPorts()
{
    fillDeviceLists();
}

void CTagDeskDlg::scanNetwork()
{
    // The scan tool is an optional companion program; whether it started is not reported.
    const QString tool = CMyFunc::makePath(networkScanTool);
    if (QFileInfo(tool).isExecutable())
        QProcess::startDetached(tool, {});
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

void CTagDeskDlg::postLog(const QString &line)
{
    m_messages.post(line);
}

void CTagDeskDlg::setNetworkFields(const QString &ipAddress, const QString &portText)
{
    m_panel->setNetworkFields(ipAddress, portText);
}

void CTagDeskDlg::setBaudPosition(int position)
{
    m_panel->setBaudPosition(position);
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
    // and no queued row can reach a list that is about to go.
    m_messages.stop();
    closeConnection();
    CTrafficLog::publish(nullptr);
}
