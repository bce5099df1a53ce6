#pragma once

// People files (extension "ppl"): one person per line, comma-separated, the
// fourth field being the person's affiliation. The non-scoring affiliation
// list reads the affiliations from them.

#include <filesystem>
#include <vector>

#include "foundation/KString.h"

class PeopleFile {
public:
    /// Longer lines are skipped whole rather than held in memory.
    static constexpr size_t kMaxLineLength = 4096;

    /// The fields of one line: split at commas, except inside double quotes
    /// (two quotes inside quotes are one quote); blanks around a field are
    /// dropped. A line starting with ";" (a comment) or empty gives no fields.
    static std::vector<KString> SplitLine(KStringView line);

    /// The affiliation of one line: its fourth field, when the line has a
    /// non-empty first and a non-empty fourth field; otherwise empty.
    static KString AffiliationOf(KStringView line);

    /// The affiliations of all lines of a text, in order, duplicates kept.
    /// CR, LF, CR LF and LF CR end lines.
    static std::vector<KString> AffiliationsOfText(KStringView text);

    /// The affiliations of all lines of a file (UTF-16 when it starts with its
    /// byte-order mark, else single byte; line ends as AffiliationsOfText). Throws KError(3002, errno)
    /// when it cannot be opened, KError(3004, errno) on a read error.
    static std::vector<KString> ReadAffiliations(const std::filesystem::path& path);
};
