#pragma once

// When to store the sources' event while results arrive, so that a crash or a power cut mid-meet
// loses at most the last few seconds: a short moment after an update once the feed is quiet, and
// during a steady feed at the latest a little after the first unstored update - never more often
// than about once a second. Times are steady-clock milliseconds given by the caller.

class TStoreSchedule {
public:
    /// A quiet moment this long after the last update.
    static constexpr long long kQuietMs = 300;
    /// At the latest this long after the first update not yet stored.
    static constexpr long long kMaxDelayMs = 2000;
    /// At least this long between two stores.
    static constexpr long long kMinIntervalMs = 1000;

    void Updated(long long now);
    /// -1 when nothing waits to be stored; otherwise the ms until the store is due (0: now).
    long long DueInMs(long long now) const;
    /// The store was done (or tried: a failing disk is not hammered).
    void Stored(long long now);

private:
    bool m_pending = false;
    long long m_firstUpdate = 0;
    long long m_lastUpdate = 0;
    long long m_lastStore = -kMinIntervalMs;
};
