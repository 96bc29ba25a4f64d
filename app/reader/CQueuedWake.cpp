#include "reader/CQueuedWake.h"

CQueuedWake::CQueuedWake(std::function<void()> drain)
{
    connect(this, &CQueuedWake::woken, this, std::move(drain), Qt::QueuedConnection);
}
