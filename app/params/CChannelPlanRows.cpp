#include "params/CChannelPlanRows.h"

#include "kit/Accessible.h"
#include "kit/IMainWindowServices.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>

#include <string>
#include <vector>

using channelplan::ChannelList;

namespace {

QStringList toStrings(const std::vector<std::string> &texts)
{
    QStringList list;
    for (const std::string &each : texts)
        list.append(QString::fromStdString(each));
    return list;
}

std::vector<std::string> toStdStrings(const QStringList &texts)
{
    std::vector<std::string> list;
    for (const QString &each : texts)
        list.push_back(each.toStdString());
    return list;
}

} // namespace

CChannelPlanRows::CChannelPlanRows(const IMainWindowServices &services)
    : m_services(services)
{
}

void CChannelPlanRows::addTo(QFormLayout *form)
{
    QWidget *group = form->parentWidget();
    m_region = new QComboBox(group);
    m_region->setObjectName(QStringLiteral("regionList"));
    for (const QString &preset : m_services.frequencyPresets())
        m_region->addItem(QString::fromStdString(channelplan::presetName(preset.toStdString())));
    auto *label = new QLabel(m_services.text(Text::FrequencyRegionLabel), group);
    accessible::labelField(label, m_region);
    form->addRow(label, m_region);
    QObject::connect(
        m_region, &QComboBox::activated, m_region, [this](int index) { regionChanged(index); });
    m_channels = new QComboBox(group);
    m_channels->setObjectName(QStringLiteral("channelList"));
    m_channels->setAccessibleName(QStringLiteral("Channel"));
    m_single = new QCheckBox(m_services.text(Text::SingleFrequencyCheck), group);
    m_single->setObjectName(QStringLiteral("singleCheck"));
    auto *channelRow = new QHBoxLayout;
    channelRow->addWidget(m_channels, 1);
    channelRow->addWidget(m_single);
    form->addRow(QString(), channelRow);
}

void CChannelPlanRows::show(const ChannelList &channels)
{
    m_single->setChecked(channels.single);
    m_channels->clear();
    m_channels->addItems(toStrings(channels.entries));
    m_channels->setCurrentIndex(channels.selected);
    if (channels.single) {
        m_region->setCurrentIndex(-1);
        return;
    }
    m_region->setCurrentIndex(
        channelplan::presetContaining(toStdStrings(m_services.frequencyPresets()), channels.range));
}

ChannelList CChannelPlanRows::channels() const
{
    ChannelList channels;
    channels.single = m_single->isChecked();
    for (int index = 0; index < m_channels->count(); ++index)
        channels.entries.push_back(m_channels->itemText(index).toStdString());
    channels.selected = m_channels->currentIndex();
    return channels;
}

void CChannelPlanRows::regionChanged(int index)
{
    const QStringList presets = m_services.frequencyPresets();
    m_channels->clear();
    if (index >= 0 && index < presets.size())
        m_channels->addItems(toStrings(channelplan::presetChannels(presets[index].toStdString())));
    m_channels->setCurrentIndex(m_channels->count() > 0 ? 0 : -1);
}
