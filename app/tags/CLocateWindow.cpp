#include "tags/CLocateWindow.h"

#include "kit/Accessible.h"
#include "kit/IMainWindowServices.h"

#include "hex_text.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>

#include <algorithm>

namespace {

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
    m_rateValue = new QLabel(this);
    m_rateValue->setObjectName(QStringLiteral("readRate"));
    m_rateValue->setFont(scaled(font(), 1.5));
    accessible::labelField(m_rateLabel, m_rateValue);
    m_audible = new QCheckBox(services.text(Text::AudibleTickCheck), this);
    m_audible->setObjectName(QStringLiteral("audibleTick"));

    auto *layout = new QGridLayout(this);
    layout->addWidget(m_epcLabel, 0, 0, 1, 2);
    layout->addWidget(m_bar, 1, 0, 1, 2);
    layout->addWidget(m_rssi, 2, 0, 1, 2);
    layout->addWidget(m_rateLabel, 3, 0);
    layout->addWidget(m_rateValue, 3, 1);
    layout->addWidget(m_audible, 4, 0, 1, 2);
    resize(420, 300);

    accessible::nameControls(this);
    m_redraw.setSingleShot(true);
    m_redraw.setInterval(redrawPeriod);
    connect(&m_redraw, &QTimer::timeout, this, &CLocateWindow::redraw);
    connect(&m_tick, &QTimer::timeout, this, [] { QApplication::beep(); });
    connect(m_audible, &QCheckBox::toggled, this, &CLocateWindow::retick);
    connect(&model, &CTagListModel::sightingsAdded, this, &CLocateWindow::take);
    redraw();
}

std::chrono::milliseconds CLocateWindow::tickInterval(int rssi)
{
    const double strength = static_cast<double>(std::clamp(rssi, weakRssi, strongRssi) - weakRssi)
        / (strongRssi - weakRssi);
    return std::chrono::milliseconds(
        static_cast<int>(slowestTickMs - strength * (slowestTickMs - fastestTickMs)));
}

void CLocateWindow::follow(const tagrecord::Bytes &epc)
{
    m_epcBytes = epc;
    m_epc = QString::fromStdString(hextext::compact(epc));
    m_epcLabel->setText(m_epc);
    m_epcLabel->setAccessibleName(m_epc);
    m_rate.reset();
    m_lastRssi.reset();
    redraw();
}

QString CLocateWindow::rssiText(std::optional<int> rssi)
{
    if (!rssi)
        return QStringLiteral("--");
    // The hex beside it is the list's RSSI column, so the two can be compared at a glance.
    return QStringLiteral("%1 (%2)").arg(*rssi).arg(
        QString::number(*rssi, 16).toUpper().rightJustified(2, u'0'));
}

void CLocateWindow::take(const std::vector<CTagListModel::Sighting> &sightings)
{
    int reads = 0;
    for (const CTagListModel::Sighting &sighting : sightings) {
        if (sighting.record.epc != m_epcBytes)
            continue;
        ++reads;
        m_lastRssi = sighting.record.rssi;
    }
    if (reads > 0)
        m_rate.add(CReadRate::Clock::now(), reads, 0);
    if (!m_redraw.isActive())
        m_redraw.start();
}

void CLocateWindow::redraw()
{
    m_readsPerSecond = m_rate.rates(CReadRate::Clock::now()).sightings;
    m_rateValue->setText(QString::number(m_readsPerSecond, 'f', 0));
    m_bar->setValue(m_lastRssi.value_or(0));
    m_rssi->setText(rssiText(m_lastRssi));
    m_rssi->setAccessibleName(QStringLiteral("RSSI ") + m_rssi->text());
    // Keep the rate falling to zero once the tag is gone.
    if (m_readsPerSecond > 0 && !m_redraw.isActive())
        m_redraw.start();
    retick();
}

void CLocateWindow::retick()
{
    const bool heard = m_lastRssi && m_readsPerSecond > 0;
    if (!m_audible->isChecked() || !heard) {
        m_tick.stop();
        return;
    }
    const auto interval = tickInterval(*m_lastRssi);
    if (!m_tick.isActive() || m_tick.intervalAsDuration() != interval)
        m_tick.start(interval);
}

QString CLocateWindow::rssiTextShown() const
{
    return m_rssi->text();
}
