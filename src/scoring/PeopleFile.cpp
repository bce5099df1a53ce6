#include "scoring/PeopleFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "foundation/KError.h"

namespace {

bool IsBlank(KChar c) { return c == u' ' || c == u'\t'; }

}  // namespace

std::vector<KString> PeopleFile::SplitLine(KStringView line) {
    std::vector<KString> fields;
    if (line.empty() || line.front() == u';') return fields;
    size_t i = 0;
    const size_t n = line.size();
    for (;;) {
        KString field;
        while (i < n && IsBlank(line[i])) ++i;
        if (i < n && line[i] == u'"') {
            // A quote left open runs to the end of the line.
            ++i;
            while (i < n) {
                if (line[i] == u'"') {
                    if (i + 1 < n && line[i + 1] == u'"') {
                        field += u'"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += line[i++];
            }
            // Text between the closing quote and the comma belongs to the field.
            while (i < n && line[i] != u',') field += line[i++];
        } else {
            while (i < n && line[i] != u',') field += line[i++];
        }
        while (!field.empty() && IsBlank(field.back())) field.pop_back();
        fields.push_back(std::move(field));
        if (i >= n) return fields;
        ++i;  // the comma
    }
}

KString PeopleFile::AffiliationOf(KStringView line) {
    std::vector<KString> fields = SplitLine(line);
    if (fields.size() < 4 || fields[0].empty() || fields[3].empty()) return {};
    return std::move(fields[3]);
}

std::vector<KString> PeopleFile::AffiliationsOfText(KStringView text) {
    std::vector<KString> affiliations;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = start;
        while (end < text.size() && text[end] != u'\r' && text[end] != u'\n') ++end;
        if (end - start <= kMaxLineLength) {
            KString affiliation = AffiliationOf(text.substr(start, end - start));
            if (!affiliation.empty()) affiliations.push_back(std::move(affiliation));
        }
        if (end < text.size()) {
            const KChar first = text[end++];
            if (end < text.size() && (text[end] == u'\r' || text[end] == u'\n') && text[end] != first) ++end;
        }
        start = end;
    }
    return affiliations;
}

std::vector<KString> PeopleFile::ReadAffiliations(const std::filesystem::path& path) {
    // Read here rather than line by line through the text reader so that one
    // overlong line costs no more memory than the limit.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw KError(KErrorCode::kFileOpen, errno);
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};

    enum class Mode { SingleByte, Utf16Le, Utf16Be } mode = Mode::SingleByte;
    std::vector<KString> affiliations;
    KString line;
    bool overlong = false;
    KChar lastEnd = 0;  // the line end just seen, to take CR LF and LF CR as one
    bool first = true;
    int pendingByte = -1;
    auto endLine = [&] {
        if (!overlong) {
            KString affiliation = AffiliationOf(line);
            if (!affiliation.empty()) affiliations.push_back(std::move(affiliation));
        }
        line.clear();
        overlong = false;
    };
    auto take = [&](KChar c) {
        if (c == u'\r' || c == u'\n') {
            if (lastEnd != 0 && c != lastEnd) {
                lastEnd = 0;  // second half of a two-character line end
                return;
            }
            endLine();
            lastEnd = c;
            return;
        }
        lastEnd = 0;
        if (line.size() < kMaxLineLength) {
            line += c;
        } else {
            overlong = true;
        }
    };

    uint8_t buffer[4096];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) continue;
            throw KError(KErrorCode::kFileRead, errno);
        }
        if (got == 0) break;
        size_t i = 0;
        if (first) {
            first = false;
            if (got >= 2 && buffer[0] == 0xFF && buffer[1] == 0xFE) mode = Mode::Utf16Le, i = 2;
            if (got >= 2 && buffer[0] == 0xFE && buffer[1] == 0xFF) mode = Mode::Utf16Be, i = 2;
        }
        for (; i < static_cast<size_t>(got); ++i) {
            if (mode == Mode::SingleByte) {
                take(buffer[i]);
            } else if (pendingByte < 0) {
                pendingByte = buffer[i];
            } else {
                take(mode == Mode::Utf16Le ? static_cast<KChar>(buffer[i] << 8 | pendingByte)
                                           : static_cast<KChar>(pendingByte << 8 | buffer[i]));
                pendingByte = -1;
            }
        }
    }
    if (!line.empty() || overlong) endLine();
    return affiliations;
}
