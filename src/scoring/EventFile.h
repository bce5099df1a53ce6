#pragma once

// The event file: Velmar/Kestrun/Kestrun.dat below the documents folder.

#include <cstdint>
#include <filesystem>

class EventRecord;

class EventFile {
public:
    /// Larger files are refused as corrupt rather than read into memory.
    static constexpr uintmax_t kMaxFileSize = 64u * 1024 * 1024;

    /// <documentsFolder>/Velmar/Kestrun/Kestrun.dat
    static std::filesystem::path PathIn(const std::filesystem::path& documentsFolder);

    /// Creates missing folders and writes through a temporary file renamed over the old one, so a
    /// failed store leaves the previous file intact. Throws KError (3002, 3005, 3006, 3007).
    static void Store(const EventRecord& event, const std::filesystem::path& file);
    /// False when the file does not exist (the event is left as it is). A file that cannot be read or
    /// holds bad data throws KError (3002, 3004, 3009, 3010) and leaves the event empty.
    static bool Load(EventRecord& event, const std::filesystem::path& file);
};
