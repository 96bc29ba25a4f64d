#pragma once

#include "channel_plan.h"

class IMainWindowServices;
class QCheckBox;
class QComboBox;
class QFormLayout;

// The parameter page's channel plan: the region list (the configured frequency presets) and,
// under it, the channel list with the single-frequency switch. They show the channels of the
// record's two frequency bytes and give back what the operator chose.
class CChannelPlanRows {
public:
    explicit CChannelPlanRows(const IMainWindowServices &services);

    // Adds the two rows to the form; the controls belong to the form's widget.
    void addTo(QFormLayout *form);
    void show(const channelplan::ChannelList &channels);
    channelplan::ChannelList channels() const;

private:
    // Lists the chosen preset's channels, the first one selected.
    void regionChanged(int index);

    const IMainWindowServices &m_services;
    QComboBox *m_region = nullptr;
    QComboBox *m_channels = nullptr;
    QCheckBox *m_single = nullptr;
};
