#include "foundation/KTextFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "foundation/KError.h"

namespace {

constexpr char16_t kCr = u'\r';
constexpr char16_t kLf = u'\n';
constexpr size_t kWriteBufferSize = 4096;

}  // namespace

KTextReader::KTextReader(const std::filesystem::path& path, KCharMode mode) {
    do {
        m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (m_fd < 0 && errno == EINTR);
    if (m_fd < 0) throw KError(KErrorCode::kFileOpen, errno);
    try {
        FillBuffer();
        // The buffer holds the file's first bytes (a short read only at the end).
        while (m_end < 3 && !m_atEnd) FillBuffer();
    } catch (...) {
        Close();
        throw;
    }
    const size_t available = m_end - m_pos;
    const auto startsWith = [&](std::initializer_list<uint8_t> mark) {
        if (available < mark.size()) return false;
        size_t i = 0;
        for (uint8_t b : mark)
            if (m_buffer[m_pos + i++] != b) return false;
        return true;
    };
    switch (mode) {
        case KCharMode::SingleByte:
            m_mode = KCharMode::SingleByte;
            break;
        case KCharMode::Native:
            m_mode = KCharMode::Native;
            if (startsWith({0xEF, 0xBB, 0xBF})) m_pos += 3;
            break;
        case KCharMode::Unicode:
        case KCharMode::Detect:
            if (startsWith({0xFF, 0xFE})) {
                m_mode = KCharMode::Unicode;
                m_pos += 2;
            } else if (startsWith({0xFE, 0xFF})) {
                m_mode = KCharMode::Unicode;
                m_bigEndian = true;
                m_pos += 2;
            } else {
                m_mode = mode == KCharMode::Unicode ? KCharMode::Unicode : KCharMode::SingleByte;
            }
            break;
    }
}

KTextReader::~KTextReader() { Close(); }

KTextReader::KTextReader(KTextReader&& other) noexcept { *this = std::move(other); }

KTextReader& KTextReader::operator=(KTextReader&& other) noexcept {
    if (this != &other) {
        Close();
        m_fd = std::exchange(other.m_fd, -1);
        m_mode = other.m_mode;
        m_bigEndian = other.m_bigEndian;
        m_lineEnd = other.m_lineEnd;
        m_lastLineEnded = other.m_lastLineEnded;
        m_peeked = other.m_peeked;
        m_bytes = std::move(other.m_bytes);
        std::copy(other.m_buffer + other.m_pos, other.m_buffer + other.m_end, m_buffer);
        m_end = other.m_end - other.m_pos;
        m_pos = 0;
        m_atEnd = other.m_atEnd;
    }
    return *this;
}

void KTextReader::Close() noexcept {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

// Appends to what the buffer still holds; false when the file has nothing more.
bool KTextReader::FillBuffer() {
    if (m_atEnd || m_fd < 0) return false;
    if (m_pos > 0) {
        std::copy(m_buffer + m_pos, m_buffer + m_end, m_buffer);
        m_end -= m_pos;
        m_pos = 0;
    }
    ssize_t count;
    do {
        count = ::read(m_fd, m_buffer + m_end, kBufferSize - m_end);
    } while (count < 0 && errno == EINTR);
    if (count < 0) throw KError(KErrorCode::kFileRead, errno);
    if (count == 0) {
        m_atEnd = true;
        return false;
    }
    m_end += static_cast<size_t>(count);
    return true;
}

bool KTextReader::NextByte(uint8_t& byte) {
    if (m_pos == m_end && !FillBuffer()) return false;
    byte = m_buffer[m_pos++];
    return true;
}

bool KTextReader::NextUnit(char16_t& unit) {
    if (m_peeked) {
        unit = *m_peeked;
        m_peeked.reset();
        return true;
    }
    uint8_t first = 0;
    if (!NextByte(first)) return false;
    if (m_mode != KCharMode::Unicode) {
        unit = first;
        return true;
    }
    uint8_t second = 0;
    if (!NextByte(second)) return false;  // a lone trailing byte is no character
    unit =
        m_bigEndian ? static_cast<char16_t>(first << 8 | second) : static_cast<char16_t>(second << 8 | first);
    return true;
}

bool KTextReader::PeekUnit(char16_t& unit) {
    if (!m_peeked) {
        char16_t next = 0;
        if (!NextUnit(next)) return false;
        m_peeked = next;
    }
    unit = *m_peeked;
    return true;
}

bool KTextReader::ReadLine(KString& line) {
    line.clear();
    m_bytes.clear();
    const bool native = m_mode == KCharMode::Native;
    const auto finish = [&](bool ended) {
        m_lastLineEnded = ended;
        if (native) line = FromUtf8(m_bytes);
        return true;
    };
    bool any = false;
    char16_t unit = 0;
    while (NextUnit(unit)) {
        any = true;
        char16_t second = 0;
        switch (m_lineEnd) {
            case LineEnd::Unknown:
                if (unit == kCr || unit == kLf) {
                    const char16_t other = unit == kCr ? kLf : kCr;
                    if (PeekUnit(second) && second == other) {
                        m_peeked.reset();
                        m_lineEnd = unit == kCr ? LineEnd::CrLf : LineEnd::LfCr;
                    } else {
                        m_lineEnd = unit == kCr ? LineEnd::Cr : LineEnd::Lf;
                    }
                    return finish(true);
                }
                break;
            case LineEnd::Cr:
                if (unit == kCr) return finish(true);
                break;
            case LineEnd::Lf:
                if (unit == kLf) return finish(true);
                break;
            case LineEnd::CrLf:
            case LineEnd::LfCr: {
                const char16_t first = m_lineEnd == LineEnd::CrLf ? kCr : kLf;
                if (unit == first) {
                    // The pair's second half is swallowed when present; a lone first half still ends the
                    // line.
                    if (PeekUnit(second) && second == (first == kCr ? kLf : kCr)) m_peeked.reset();
                    return finish(true);
                }
                break;
            }
        }
        if (native)
            m_bytes.push_back(static_cast<char>(unit));
        else
            line.push_back(unit);
    }
    if (!any) {
        m_lastLineEnded = false;
        return false;
    }
    return finish(false);
}

KTextWriter::KTextWriter(const std::filesystem::path& path, KCharMode mode)
    : m_file(path), m_mode(mode == KCharMode::Detect ? KCharMode::Unicode : mode) {
    m_buffer.reserve(kWriteBufferSize + 8);
    if (m_mode == KCharMode::Unicode) m_buffer.append("\xFF\xFE", 2);
}

KTextWriter::~KTextWriter() = default;

void KTextWriter::Write(KStringView text) {
    switch (m_mode) {
        case KCharMode::SingleByte:
        case KCharMode::Native: {
            // Encode piecewise so a long text never needs a second copy of itself.
            constexpr size_t kChunk = 1024;
            for (size_t start = 0; start < text.size();) {
                size_t end = std::min(text.size(), start + kChunk);
                // Keep a surrogate pair together for UTF-8.
                if (end < text.size() && text[end - 1] >= 0xD800 && text[end - 1] <= 0xDBFF) ++end;
                const KStringView piece = text.substr(start, end - start);
                if (m_mode == KCharMode::SingleByte && !m_lossy) {
                    m_lossy =
                        std::any_of(piece.begin(), piece.end(), [](char16_t unit) { return unit > 0xFF; });
                }
                m_buffer += m_mode == KCharMode::Native ? ToUtf8(piece) : ToLatin1(piece);
                if (m_buffer.size() >= kWriteBufferSize) Flush();
                start = end;
            }
            break;
        }
        default:
            for (char16_t unit : text) {
                m_buffer.push_back(static_cast<char>(unit & 0xFF));
                m_buffer.push_back(static_cast<char>(unit >> 8));
                if (m_buffer.size() >= kWriteBufferSize) Flush();
            }
            break;
    }
}

void KTextWriter::WriteLine(KStringView text) {
    Write(text);
    Write(u"\r\n");
}

void KTextWriter::Flush() {
    if (m_buffer.empty()) return;
    m_file.Write(m_buffer.data(), m_buffer.size());
    m_buffer.clear();
}

void KTextWriter::Commit() {
    Flush();
    m_file.Commit();
}

bool WriteTextFile(const std::filesystem::path& path, KCharMode mode,
                   const std::function<void(KTextWriter&)>& write) {
    try {
        // Returns false, without touching the target, when a character would be lost.
        const auto attempt = [&](KCharMode attemptMode) {
            KTextWriter writer(path, attemptMode);
            write(writer);
            if (writer.Lossy()) return false;
            writer.Commit();
            return true;
        };
        return attempt(mode) || attempt(KCharMode::Unicode);
    } catch (const KError&) {
        return false;
    } catch (const std::filesystem::filesystem_error&) {
        return false;
    }
}
