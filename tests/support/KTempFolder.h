#pragma once

// What the test programs share: a unique folder per test, removed with everything in it when
// the test ends, whole-file bytes, the lines of a file the program wrote, and the numbers of a
// caught KError.

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "foundation/KError.h"
#include "foundation/KString.h"

class KTempFolder {
public:
    KTempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kestrun-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) std::abort();
        m_path = pattern;
    }
    ~KTempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    KTempFolder(const KTempFolder&) = delete;
    KTempFolder& operator=(const KTempFolder&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    std::filesystem::path operator/(const std::filesystem::path& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

inline void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

/// Names in the folder, to prove that no temporary file was left behind.
inline size_t CountEntries(const std::filesystem::path& folder) {
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
}

/// UTF-16 bytes of `text` with the byte-order mark, little- or big-endian.
inline std::string Utf16Bytes(KStringView text, bool bigEndian = false) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const KChar c : text)
        bytes += bigEndian ? std::string{char(c >> 8), char(c)} : std::string{char(c), char(c >> 8)};
    return bytes;
}

/// The lines of a file as the program writes them: UTF-16LE when it starts with the mark FF FE,
/// Latin-1 otherwise; lines end with CR LF, and a last line without one is kept.
inline std::vector<KString> FileLines(const std::filesystem::path& path) {
    const std::string bytes = ReadBytes(path);
    KString text = FromLatin1(bytes);
    if (bytes.starts_with("\xFF\xFE")) {  // as stored on this little-endian host
        text.assign((bytes.size() - 2) / 2, u'\0');
        std::memcpy(text.data(), bytes.data() + 2, text.size() * sizeof(KChar));
    }
    std::vector<KString> lines;
    size_t start = 0;
    for (size_t end; (end = text.find(u"\r\n", start)) != KString::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

/// Code and subcode of the KError that `action` throws; {0, 0} when it throws none.
template <typename Action>
std::pair<int, int> CaughtError(Action&& action) {
    try {
        action();
    } catch (const KError& e) {
        return {e.Code(), e.Subcode()};
    }
    return {0, 0};
}
