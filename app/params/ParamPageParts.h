// What the parameter, network and special pages build their forms from: field captions and
// the scrolling layout.
#pragma once

#include "kit/CRecordForm.h"
#include "kit/IMainWindowServices.h"

#include <QString>

#include <span>
#include <string_view>

class QWidget;

namespace parampage {

// A record field's caption for CRecordForm: its language text, or the page layout's own
// caption (by field name) while no language file supplies one.
struct LayoutCaption {
    std::string_view field;
    const char *caption;
};
CRecordForm::CaptionOf fieldCaptions(
    const IMainWindowServices &services, std::span<const LayoutCaption> layoutCaptions);

// The page's form in a scroll area above its button row: a small window scrolls the form
// instead of squeezing its captions.
void layOutScrolling(QWidget *page, QWidget *form, QWidget *buttonRow);

} // namespace parampage
