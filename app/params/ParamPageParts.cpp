#include "params/ParamPageParts.h"

#include "kit/Captions.h"

#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>

namespace parampage {

CRecordForm::CaptionOf fieldCaptions(
    const IMainWindowServices &services, std::span<const LayoutCaption> layoutCaptions)
{
    return [&services, layoutCaptions](const record::Field &field) {
        const auto layout = std::find_if(layoutCaptions.begin(), layoutCaptions.end(),
            [&field](const LayoutCaption &each) { return each.field == field.name; });
        return captionOr(
            services.text(field.captionKey), layout == layoutCaptions.end() ? "" : layout->caption);
    };
}

void layOutScrolling(QWidget *page, QWidget *form, QWidget *buttonRow)
{
    auto *scroll = new QScrollArea(page);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidget(form);
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(scroll, 1);
    layout->addWidget(buttonRow);
}

} // namespace parampage
