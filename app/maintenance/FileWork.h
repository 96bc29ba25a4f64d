#pragma once

#include "kit/CBusyState.h"
#include "kit/IMainWindowServices.h"
#include "reader/CReaderWorker.h"

#include <utility>

class QObject;

// Runs a tab's file work (reading or writing a list or hex file) off the user-interface
// thread, on the reader worker after the calls queued before it, with the tab shown busy;
// done(result) runs on the user-interface thread while `owner` exists.
template <typename Job, typename Done>
void runFileWork(
    QObject *owner, IMainWindowServices &services, CBusyState &busy, Job job, Done done)
{
    busy.begin();
    services.worker().submit(
        owner, [job = std::move(job)](IReader &) { return job(); },
        [&busy, done = std::move(done)](auto result) {
            busy.end();
            done(std::move(result));
        });
}
