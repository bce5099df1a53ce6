#pragma once

// The settings file: <documents>/Velmar/Kestrun/Kestrun.cfg, read over the defaults at
// start-up and written once at exit. The documents folder is a parameter, so tests and
// tools use folders of their own.

#include <filesystem>

#include "foundation/KTextFile.h"
#include "settings/KRegistry.h"

/// What reading the settings file did.
struct KSettingsLoadResult {
    /// False only when the file exists but reading it failed (the caller reports 6001);
    /// what was read before the failure stays merged.
    bool ok = true;
    /// A non-empty file was opened and read, completely or up to a read error.
    bool loaded = false;
    /// The character mode detected, to write the file back in; Detect when none was read.
    KCharMode mode = KCharMode::Detect;
    /// Where a file that could not be read was moved ("Kestrun.cfg.bak"), so the save at
    /// exit does not overwrite it; empty when nothing was moved.
    std::filesystem::path backup;
};

/// <documents>/Velmar/Kestrun
std::filesystem::path SettingsFolder(const std::filesystem::path& documentsFolder);
/// <documents>/Velmar/Kestrun/Kestrun.cfg
std::filesystem::path SettingsFilePath(const std::filesystem::path& documentsFolder);

/// Merges the settings file over the tree. A missing or empty file is the first start,
/// not an error. The first line is always discarded as the header; lines that do not
/// merge are skipped. Never creates folders.
KSettingsLoadResult LoadSettingsFile(KRegistry& tree, const std::filesystem::path& documentsFolder);

/// Writes the tree, except texts (`Strings` is marked not saved first), deleted nodes and
/// other unsaved subtrees, in `mode` (the mode read; Detect, i.e. nothing read, means
/// UTF-16LE with a byte-order mark), with CR LF line ends. Creates missing folders. The
/// previous file is replaced only once the new one is complete. False on any failure
/// (the caller reports 6002); the previous file is then intact.
bool SaveSettingsFile(KRegistry& tree, const std::filesystem::path& documentsFolder, KCharMode mode);
