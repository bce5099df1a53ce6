#include "sources/TStoreSchedule.h"

#include <algorithm>

void TStoreSchedule::Updated(long long now) {
    if (!m_pending) m_firstUpdate = now;
    m_pending = true;
    m_lastUpdate = now;
}

long long TStoreSchedule::DueInMs(long long now) const {
    if (!m_pending) return -1;
    const long long due = std::max(std::min(m_lastUpdate + kQuietMs, m_firstUpdate + kMaxDelayMs),
                                   m_lastStore + kMinIntervalMs);
    return std::max(0LL, due - now);
}

void TStoreSchedule::Stored(long long now) {
    m_pending = false;
    m_lastStore = now;
}
