#include "shell/CHello.h"

#include "kit/Accessible.h"
#include "kit/CButtonST.h"
#include "kit/CVersion.h"
#include "kit/IMainWindowServices.h"
#include "shell/CHttpClient.h"
#include "shell/VersionPage.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QLabel>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <atomic>
#include <thread>
#include <vector>

namespace {

const QString logoFile = QStringLiteral("logo/hello.bmp");
const QString updateHostKey = QStringLiteral("UpdateHost");
const QString missingSetting = QStringLiteral("default");
constexpr const char *versionPage = "/Upgrade/SoftVersion.htm";
// Asked after the version page; their replies are not looked at.
constexpr std::array<const char *, 2> followUpPages { "/", "/English/" };

std::string addressOf(const QString &host, const char *path)
{
    const QString base
        = host.contains(QStringLiteral("://")) ? host : QStringLiteral("http://") + host;
    return (base + QString::fromLatin1(path)).toStdString();
}

QString versionText(double version)
{
    return QString::asprintf("%.1f", version);
}

// The check's thread belongs to the application object, not to the page: a page that goes
// never waits for the network, and the outcome of a check whose page is gone is dropped. The
// check deletes itself once its thread has ended; at exit the application object stops the
// transfer and waits for the thread (about a second at most).
class CVersionCheck final : public QObject {
public:
    CVersionCheck(const QString &host, QPointer<CHello> page)
        : QObject(QCoreApplication::instance())
        , m_thread([this, host, page = std::move(page)] { run(host, page); })
    {
    }

    ~CVersionCheck() override
    {
        m_stop = true;
        m_thread.join();
    }

private:
    void run(const QString &host, QPointer<CHello> page)
    {
        CHttpClient client;
        const std::optional<float> version = fetchVersion(client, host);
        // The page is handed the outcome on its own thread, and only while it exists.
        QMetaObject::invokeMethod(
            this,
            [page = std::move(page), version] {
                if (page)
                    page->showOutcome(version);
            },
            Qt::QueuedConnection);
        if (version) {
            for (const char *path : followUpPages)
                fetchIgnored(client, host, path);
        }
        QMetaObject::invokeMethod(this, &QObject::deleteLater, Qt::QueuedConnection);
    }

    std::optional<float> fetchVersion(CHttpClient &client, const QString &host)
    {
        std::vector<std::uint8_t> reply(versionpage::pageSize, 0);
        std::size_t length = 0;
        client.get(addressOf(host, versionPage), reply.data(), reply.size(), length, &m_stop);
        return versionpage::latestVersion(std::span(reply).first(std::min(length, reply.size())));
    }

    void fetchIgnored(CHttpClient &client, const QString &host, const char *path)
    {
        if (m_stop)
            return;
        std::vector<std::uint8_t> ignored(versionpage::pageSize, 0);
        std::size_t length = 0;
        client.get(addressOf(host, path), ignored.data(), ignored.size(), length, &m_stop);
    }

    std::atomic<bool> m_stop { false };
    std::thread m_thread;
};

} // namespace

CHello::CHello(IMainWindowServices &services, QWidget *parent)
    : CPage(services, parent)
{
    setObjectName(QStringLiteral("CHello"));
    buildLayout();
    applyTexts();
    m_logoPath = services.dataFile(logoFile);
    startVersionCheck();
}

void CHello::buildLayout()
{
    m_logoButton = new CButtonST(this);
    m_logoButton->setObjectName(QStringLiteral("logoButton"));
    // The button takes the space it is given; its picture follows its size, never the other
    // way round.
    m_logoButton->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    m_welcomeLine = new QLabel(this);
    m_welcomeLine->setObjectName(QStringLiteral("welcomeLine"));
    m_welcomeLine->setAlignment(Qt::AlignCenter);
    m_currentLabel = new QLabel(this);
    m_currentValue = new QLabel(this);
    m_currentValue->setObjectName(QStringLiteral("currentVersion"));
    m_latestLabel = new QLabel(this);
    m_latestValue = new QLabel(this);
    m_latestValue->setObjectName(QStringLiteral("latestVersion"));
    m_updateButton = new QPushButton(this);
    m_updateButton->setObjectName(QStringLiteral("updateButton"));
    // Nothing offers an update yet: the button stays hidden.
    m_updateButton->hide();

    auto *versions = new QGridLayout;
    versions->addWidget(m_currentLabel, 0, 0, Qt::AlignRight);
    versions->addWidget(m_currentValue, 0, 1);
    versions->addWidget(m_latestLabel, 1, 0, Qt::AlignRight);
    versions->addWidget(m_latestValue, 1, 1);
    versions->addWidget(m_updateButton, 1, 2);
    versions->setColumnStretch(1, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_logoButton, 3);
    layout->addWidget(m_welcomeLine);
    layout->addLayout(versions);
    layout->addStretch(1);
}

void CHello::applyTexts()
{
    m_welcomeLine->setText(text(Text::WelcomeLine));
    m_currentLabel->setText(text(Text::CurrentVersionLabel));
    m_currentValue->setText(versionText(CVersion::software));
    m_latestLabel->setText(text(Text::LatestVersionLabel));
    m_updateButton->setText(text(Text::UpdateButton));
    m_logoButton->setAccessibleName(text(Text::WelcomeLine));
    accessible::labelField(m_currentLabel, m_currentValue);
    accessible::labelField(m_latestLabel, m_latestValue);
}

void CHello::resizeEvent(QResizeEvent *event)
{
    CPage::resizeEvent(event);
    showLogo();
}

void CHello::showLogo()
{
    // A missing file leaves the button without a picture.
    const QPixmap logo(m_logoPath);
    if (logo.isNull())
        return;
    const QSize size = m_logoButton->contentsRect().size();
    const QPixmap scaled = logo.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    m_logoButton->setIconSize(size);
    m_logoButton->setBitmaps(scaled, scaled);
}

QString CHello::currentVersion() const
{
    return m_currentValue->text();
}

QString CHello::latestVersion() const
{
    return m_latestValue->text();
}

void CHello::startVersionCheck()
{
    const QString host = services().setting(updateHostKey).trimmed();
    if (host.isEmpty() || host == missingSetting) {
        m_checkFinished = true;
        return;
    }
    new CVersionCheck(host, QPointer<CHello>(this));
}

void CHello::showOutcome(std::optional<float> version)
{
    m_checkFinished = true;
    if (!version)
        return;
    m_latestVersion = *version;
    m_latestValue->setText(versionText(*version));
}
