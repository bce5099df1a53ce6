#pragma once

// Language files: `*.lng` beside the program file, each replacing any subset of the
// `Strings\...` texts. The choice list `Language\Choices` is rebuilt at every start, the
// file that best matches `Language\Choice` is merged over the English defaults, and on
// request the current texts are written back as a template for translation.

#include <filesystem>

#include "foundation/KTextFile.h"
#include "settings/KRegistry.h"

/// What loading the language file did.
struct KLanguageLoadResult {
    /// A language file was opened and merged (perhaps only in part, after a read error).
    bool loaded = false;
    /// Its detected character mode, to write it back in; Detect when none was read.
    KCharMode mode = KCharMode::Detect;
};

/// Empties `Language\Choices`, marks it not saved, and adds one String per `*.lng` file
/// of `programFolder` (sorted by name, so the order is the same from run to run), named
/// 1, 2, 3... with the value "<file name>,<the file's first line>". Files that cannot be
/// read or whose first line has no line end get no entry and use up no number.
/// False when the tree has no `Language\Choices` group.
bool RebuildLanguageChoices(KRegistry& tree, const std::filesystem::path& programFolder);

/// The `Language\Choices` entry whose locale (field 2 of its value) best matches
/// `Language\Choice`, without regard to case: the whole name (best), its first five
/// characters, or its first two; on equal levels the earlier entry wins. Entries without
/// a locale are skipped. Null when nothing matches or the choice is empty.
KRString* FindLanguageChoice(KRegistry& tree);

/// Merges the chosen language file over the tree: its first line is the header, its
/// second the version line, every further line a setting line; lines that do not merge
/// are skipped. No match or an unopenable file leaves the texts as they are.
KLanguageLoadResult LoadLanguage(KRegistry& tree, const std::filesystem::path& programFolder);

/// Rewrites the chosen language file from the current texts: the header line of its
/// entry, "Registry Version: 1.00", then the `Strings` subtree with paths starting at
/// `Strings\`, in `mode` (Detect: UTF-16LE with byte-order mark). True when written;
/// false when there is no matching choice (nothing is written) or the save failed (the
/// previous file is then intact).
bool WriteLanguageFile(KRegistry& tree, const std::filesystem::path& programFolder, KCharMode mode);
