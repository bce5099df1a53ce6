#pragma once

// Counts the copies of the program, the way a named counting semaphore does:
// the first copy counts 1; a copy started while another one runs counts the
// previous count plus one (at least 2). The count is never decremented at
// exit, so a count above 1 only says that some earlier copy was running when
// this one started.
//
// The named object is the file <folder>/<name>.lock. Every running copy holds
// a shared flock on it for its lifetime and the file holds the last count. A
// newcomer that can lock it exclusively knows that nobody runs (a copy that
// crashed released its lock with its process) and starts again at 1. A second
// file, <name>.guard, serialises newcomers so two copies starting at the same
// moment never both count 1.

#include <chrono>
#include <filesystem>
#include <string_view>

class TInstanceCounter {
public:
    /// Registers this copy. Never throws: when the folder or the files cannot be used the copy
    /// counts 1 and holds nothing (`IsRegistered` false). Waits at most `guardWait` for another
    /// newcomer to finish counting, then counts without waiting any longer (a start never hangs).
    explicit TInstanceCounter(const std::filesystem::path& folder, std::string_view name = "Kestrun",
                              std::chrono::milliseconds guardWait = std::chrono::milliseconds(2000));
    /// Releases this copy's hold; the stored count stays.
    ~TInstanceCounter();
    TInstanceCounter(const TInstanceCounter&) = delete;
    TInstanceCounter& operator=(const TInstanceCounter&) = delete;

    int Count() const { return m_count; }
    bool IsRegistered() const { return m_fd >= 0; }

private:
    int m_fd = -1;
    int m_count = 1;
};

/// The per-user folder for the instance lock and the local service socket: $XDG_RUNTIME_DIR when it
/// names a folder, else /tmp/kestrun-<uid>, created with user-only permissions. An existing fallback
/// folder that is a link, belongs to another user or is open to others is refused (empty path).
std::filesystem::path DefaultRuntimeFolder();
