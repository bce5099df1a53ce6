#pragma once

// The activity log: one time-stamped line per call, from any thread.

#include <filesystem>
#include <mutex>

#include "foundation/KString.h"

/// Letters: none, M (activity), E (error diagnostic), W (warning diagnostic).
enum class KLogCategory { None, Main, Error, Warning };

/// Writes lines "M: <date> <time>: text" CR LF, single-byte (characters above 0xFF
/// become '?'), date and time as strftime's %x and %X format the local time in the
/// current C locale. Each line reaches the operating system with one write before
/// Write returns, so it survives the program being killed. Writers never look at
/// the activity-log flag: gating is the caller's business. Thread-safe.
class KLog {
public:
    static constexpr const char* kFileName = "Kestrun.log";

    /// folder/"Kestrun.log"; creates missing folders; opens without truncating and
    /// appends. Throws KError(3002, errno).
    explicit KLog(const std::filesystem::path& folder);
    ~KLog();

    KLog(const KLog&) = delete;
    KLog& operator=(const KLog&) = delete;

    /// Empties the file; the next line is its first.
    void Reset();
    /// One whole line, never interleaved with another thread's. Writes nothing when
    /// the file is not open; a failed write is dropped rather than raised, so that
    /// logging never stops the work it describes.
    void Write(KStringView text, KLogCategory category);
    void LogMain(KStringView text) { Write(text, KLogCategory::Main); }
    void LogError(KStringView text) { Write(text, KLogCategory::Error); }
    void LogWarning(KStringView text) { Write(text, KLogCategory::Warning); }

    /// Closes the file; later lines are dropped.
    void Close();
    bool IsOpen() const;
    const std::filesystem::path& Path() const { return m_path; }

private:
    std::filesystem::path m_path;
    // Guards m_fd and the file's contents: one whole line is written under it.
    mutable std::mutex m_mutex;
    int m_fd = -1;
};
