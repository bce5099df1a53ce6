#pragma once

// The built-in default table: every setting the program reads and every text it shows,
// merged into the empty tree before the settings file is read.

#include <string_view>
#include <vector>

#include "settings/KRegistry.h"

/// Merges the built-in default table into `tree`, line by line, in table order.
void LoadDefaults(KRegistry& tree);

/// The second table, merged only when no settings file was read. It holds no entries;
/// the hook stays so that a first-run default can be added in one place.
void LoadFirstRunDefaults(KRegistry& tree);

/// The lines of a table text: UTF-8, LF or CR LF line ends; blank lines and lines
/// starting with '#' are skipped.
std::vector<KString> SplitDefaultTable(std::string_view utf8);
