// What the parameter, network, special and GPRS pages build their forms from: field captions,
// operation buttons, the scrolling layout, and the way an operation runs on the reader worker
// while the page shows it is busy.
#pragma once

#include "kit/CBusyState.h"
#include "kit/CRecordForm.h"
#include "kit/IMainWindowServices.h"
#include "reader/CReaderWorker.h"

#include <QString>

#include <span>
#include <string_view>
#include <utility>

class QObject;
class QPushButton;
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

// A button that the busy state disables while an operation runs.
QPushButton *addButton(QWidget *parent, CBusyState &busy, const char *name, const QString &caption);

// The page's form in a scroll area above its button row: a small window scrolls the form
// instead of squeezing its captions.
void layOutScrolling(QWidget *page, QWidget *form, QWidget *buttonRow);

// Runs job(reader) on the reader worker with the page shown busy, then done(result) on the
// user-interface thread while the page exists.
template <typename Job, typename Done>
void run(QObject *page, IMainWindowServices &services, CBusyState &busy, Job job, Done done)
{
    busy.begin();
    services.worker().submit(
        page, std::move(job), [&busy, done = std::move(done)](auto result) mutable {
            busy.end();
            done(std::move(result));
        });
}

} // namespace parampage
