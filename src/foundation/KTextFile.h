#pragma once

// Buffered text files with character modes, as the settings file, language
// files and scripts use them.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "foundation/KAtomicFile.h"
#include "foundation/KString.h"

/// 0 single byte (Latin-1), 1 Unicode (UTF-16), 2 native (UTF-8), 3 detect: on
/// reading a UTF-16 byte-order mark selects Unicode, anything else single byte.
enum class KCharMode : int { SingleByte = 0, Unicode = 1, Native = 2, Detect = 3 };

/// Reads a text file line by line through a 4096-byte buffer. Not thread-safe; move-only.
class KTextReader {
public:
    /// Throws KError(3002, errno) when the file cannot be opened, KError(3004, errno)
    /// when its first bytes cannot be read. In Unicode and Detect mode the byte-order
    /// marks FF FE (little-endian) and FE FF (big-endian) are skipped; Unicode without
    /// a mark is little-endian. Native mode skips a UTF-8 byte-order mark.
    explicit KTextReader(const std::filesystem::path& path, KCharMode mode = KCharMode::Detect);
    ~KTextReader();

    KTextReader(const KTextReader&) = delete;
    KTextReader& operator=(const KTextReader&) = delete;
    KTextReader(KTextReader&& other) noexcept;
    KTextReader& operator=(KTextReader&& other) noexcept;

    /// One line without its line end. CR, LF, CR LF and LF CR are accepted; the first
    /// line end seen fixes the style for the rest of the file (in a CR LF file a lone
    /// LF is an ordinary character). False at end of file when nothing was read.
    /// Throws KError(3004, errno) on a read error.
    bool ReadLine(KString& line);
    /// Did the last line read end with a line end? False for a last line without one.
    bool LastLineEnded() const { return m_lastLineEnded; }
    /// SingleByte, Unicode or Native; Detect is resolved when the file is opened.
    KCharMode Mode() const { return m_mode; }
    /// After detection: was the Unicode text big-endian?
    bool IsBigEndian() const { return m_bigEndian; }

private:
    enum class LineEnd { Unknown, Cr, Lf, CrLf, LfCr };

    bool FillBuffer();
    bool NextByte(uint8_t& byte);
    bool NextUnit(char16_t& unit);
    bool PeekUnit(char16_t& unit);
    void Close() noexcept;

    int m_fd = -1;
    KCharMode m_mode = KCharMode::SingleByte;
    bool m_bigEndian = false;
    LineEnd m_lineEnd = LineEnd::Unknown;
    bool m_lastLineEnded = false;
    std::optional<char16_t> m_peeked;
    std::string m_bytes;  // a native line's bytes, decoded once the line is whole
    static constexpr size_t kBufferSize = 4096;
    uint8_t m_buffer[kBufferSize];
    size_t m_pos = 0;
    size_t m_end = 0;
    bool m_atEnd = false;
};

/// Writes a text file through a temporary file in the same folder; Commit replaces
/// the target, so a failed or abandoned save leaves the previous file intact.
/// Not thread-safe; move-only.
class KTextWriter {
public:
    /// Creates missing folders. Unicode (and Detect) = UTF-16LE with byte-order mark
    /// FF FE; SingleByte = Latin-1 (characters above 0xFF become '?'); Native = UTF-8.
    /// Throws KError(3002, errno) when the temporary file cannot be created.
    KTextWriter(const std::filesystem::path& path, KCharMode mode);
    /// Without Commit: removes the temporary file; the target is untouched.
    ~KTextWriter();

    KTextWriter(const KTextWriter&) = delete;
    KTextWriter& operator=(const KTextWriter&) = delete;
    KTextWriter(KTextWriter&&) noexcept = default;
    KTextWriter& operator=(KTextWriter&&) noexcept = default;

    /// Throws KError(3005/3006, errno) when a full buffer cannot be written.
    void Write(KStringView text);
    /// `text` followed by CR LF.
    void WriteLine(KStringView text);
    /// Flush, fsync, rename over the target. Throws KError(3005/3006/3007, errno); the
    /// old file is then intact.
    void Commit();

    KCharMode Mode() const { return m_mode; }
    /// True once a SingleByte writer has had to write a character as '?'.
    bool Lossy() const { return m_lossy; }

private:
    void Flush();

    KAtomicFile m_file;
    KCharMode m_mode;
    std::string m_buffer;
    bool m_lossy = false;
};

/// Writes a whole text file through a KTextWriter: `write` fills it, then it is
/// committed. A SingleByte file that would lose a character is written again as Unicode,
/// so a text above U+00FF survives the save. False on any failure (the previous file is
/// then intact), for callers that report a failed save with an error code of their own.
bool WriteTextFile(const std::filesystem::path& path, KCharMode mode,
                   const std::function<void(KTextWriter&)>& write);
