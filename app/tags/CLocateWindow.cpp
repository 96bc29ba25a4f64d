#include "tags/CLocateWindow.h"

#include "kit/CAccessible.h"
#include "kit/IMainWindowServices.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>

#include <algorithm>

namespace {

constexpr std::int64_t rateWindowMs = 1000;
// RSSI bytes of tags far away and close by; the tick runs from slow to fast between them.
constexpr int weakRssi = 0x80;
constexpr int strongRssi = 0xF0;
constexpr int slowestTickMs = 1000;
constexpr int fastestTickMs = 60;

QFont scaled(QFont font, double factor)
{
    font.setPointSizeF(font.pointSizeF() * factor);
    font.setBold(true);
    return font;
}

} // namespace

CLocateWindow::CLocateWindow(IMainWindowServices &services, CTagListModel &model)
    : QWidget(nullptr, Qt::Window)
    , m_model(model)
{
    setObjectName(QStringLiteral("locateWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(services.text(Text::LocateAction));
    setAccessibleName(windowTitle());
    m_epcLabel = new QLabel(this);
    m_epcLabel->setObjectName(QStringLiteral("epcLabel"));
    m_epcLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_bar = new QProgressBar(this);
    m_bar->setObjectName(QStringLiteral("rssiBar"));
    m_bar->setAccessibleName(QStringLiteral("RSSI"));
    m_bar->setRange(0, 255);
    m_bar->setTextVisible(false);
    m_bar->setMinimumHeight(64);
    m_rssi = new QLabel(this);
    m_rssi->setObjectName(QStringLiteral("rssiValue"));
    m_rssi->setFont(scaled(font(), 4));
    m_rssi->setAlignment(Qt::AlignCenter);
    m_rssi->setAccessibleName(QStringLiteral("RSSI"));
    m_rateLabel = new QLabel(services.text(Text::ReadsPerSecondLabel), this);
    m_rate = new QLabel(this);
    m_rate->setObjectName(QStringLiteral("readRate"));
    m_rate->setFont(scaled(font(), 1.5));
    CAccessible::labelField(m_rateLabel, m_rate);
    m_audible = new QCheckBox(services.text(Text::AudibleTickCheck), this);
    m_audible->setObjectName(QStringLiteral("audibleTick"));

    auto *layout = new QGridLayout(this);
    layout->addWidget(m_epcLabel, 0, 0, 1, 2);
    layout->addWidget(m_bar, 1, 0, 1, 2);
    layout->addWidget(m_rssi, 2, 0, 1, 2);
    layout->addWidget(m_rateLabel, 3, 0);
    layout->addWidget(m_rate, 3, 1);
    layout->addWidget(m_audible, 4, 0, 1, 2);
    resize(420, 300);

    CAccessible::nameControls(this);
    m_redraw.setSingleShot(true);
    m_redraw.setInterval(redrawPeriod);
    connect(&m_redraw, &QTimer::timeout, this, &CLocateWindow::redraw);
    connect(&m_tick, &QTimer::timeout, this, [] { QApplication::beep(); });
    connect(m_audible, &QCheckBox::toggled, this, &CLocateWindow::retick);
    connect(&model, &CTagListModel::sightingsAdded, this, &CLocateWindow::take);
    m_clock.start();
    redraw();
}

std::chrono::milliseconds CLocateWindow::tickInterval(int rssi)
{
    const double strength = static_cast<double>(std::clamp(rssi, weakRssi, strongRssi) - weakRssi)
        / (strongRssi - weakRssi);
    return std::chrono::milliseconds(
        static_cast<int>(slowestTickMs - strength * (slowestTickMs - fastestTickMs)));
}

void CLocateWindow::follow(const QString &epc)
{
    m_epc = epc;
    m_epcLabel->setText(epc);
    m_epcLabel->setAccessibleName(epc);
    m_reads.clear();
    m_lastRssi.reset();
    redraw();
}

std::optional<int> CLocateWindow::rssiShown() const
{
    bool valid = false;
    const int value = m_rssi->text().toInt(&valid, 16);
    return valid ? std::optional<int>(value) : std::nullopt;
}

void CLocateWindow::take(const std::vector<CTagListModel::Sighting> &sightings)
{
    const std::int64_t now = m_clock.elapsed();
    for (const CTagListModel::Sighting &sighting : sightings) {
        if (m_model.cellText(sighting.row, CTagListModel::Epc) != m_epc)
            continue;
        m_reads.push_back(now);
        bool valid = false;
        const int rssi = m_model.cellText(sighting.row, CTagListModel::Rssi).toInt(&valid, 16);
        if (valid)
            m_lastRssi = rssi;
    }
    if (!m_redraw.isActive())
        m_redraw.start();
}

void CLocateWindow::redraw()
{
    const std::int64_t now = m_clock.elapsed();
    while (!m_reads.empty() && m_reads.front() <= now - rateWindowMs)
        m_reads.pop_front();
    m_readsPerSecond = static_cast<double>(m_reads.size()) * 1000.0 / rateWindowMs;
    m_rate->setText(QString::number(m_readsPerSecond, 'f', 0));
    m_bar->setValue(m_lastRssi.value_or(0));
    // Written as the list writes it, so the two can be compared at a glance.
    m_rssi->setText(m_lastRssi ? QString::number(*m_lastRssi, 16).toUpper().rightJustified(2, u'0')
                               : QStringLiteral("--"));
    m_rssi->setAccessibleName(QStringLiteral("RSSI ") + m_rssi->text());
    // Keep the rate falling to zero once the tag is gone.
    if (!m_reads.empty() && !m_redraw.isActive())
        m_redraw.start();
    retick();
}

void CLocateWindow::retick()
{
    const bool heard = m_lastRssi && !m_reads.empty();
    if (!m_audible->isChecked() || !heard) {
        m_tick.stop();
        return;
    }
    const auto interval = tickInterval(*m_lastRssi);
    if (!m_tick.isActive() || m_tick.intervalAsDuration() != interval)
        m_tick.start(interval);
}
