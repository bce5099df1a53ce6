#pragma once

// Files that must never be half-written (settings, event, language and layout
// files) are written to a temporary file beside the target and renamed over it
// only when everything reached the disk.

#include <cstddef>
#include <filesystem>

/// Writes bytes to a temporary file in the target's folder; Commit replaces the
/// target. Without Commit (or after a failed one) the target is untouched and
/// the temporary file is removed. Not thread-safe; move-only.
class KAtomicFile {
public:
    /// Creates missing folders. Throws KError(3002, errno) when the temporary file cannot be created.
    explicit KAtomicFile(const std::filesystem::path& path);
    ~KAtomicFile();

    KAtomicFile(const KAtomicFile&) = delete;
    KAtomicFile& operator=(const KAtomicFile&) = delete;
    KAtomicFile(KAtomicFile&& other) noexcept;
    KAtomicFile& operator=(KAtomicFile&& other) noexcept;

    /// Throws KError(3005, errno), or KError(3006, errno) when the disk is full; the
    /// temporary file is then discarded and further writes and Commit throw 3005.
    void Write(const void* data, size_t size);
    /// Makes the written bytes durable and renames them over the target. Throws
    /// KError(3005/3006/3007, errno); the previous target is then intact.
    void Commit();

    const std::filesystem::path& Path() const { return m_path; }
    bool IsOpen() const { return m_fd >= 0; }

private:
    [[noreturn]] void Fail(int code, int error);
    void Discard() noexcept;

    std::filesystem::path m_path;
    std::filesystem::path m_tempPath;
    int m_fd = -1;
};
