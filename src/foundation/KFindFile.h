#pragma once

// Finding a named file in a folder whatever the case of its name: the settings name
// "Gatemark.kss" while the file on disk may be "gatemark.kss".

#include <filesystem>

#include "foundation/KString.h"

/// The path of the regular file `name` in `folder`: the exact name when it exists, else
/// the first name equal to it without regard to case, in sorted order. Empty when none
/// (or when the folder cannot be listed). `name` must be a plain file name.
std::filesystem::path KFindFile(const std::filesystem::path& folder, KStringView name);
