#include "reader/CConnection.h"

void CConnection::moveTo(State state)
{
    if (m_state.exchange(state) != state)
        emit stateChanged(state);
}
