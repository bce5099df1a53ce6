#pragma once

// Reader of the results files that meet officials already upload: a header
// line naming the columns, then one row per runner. Only the columns the
// scorer needs are kept; everything else is skipped.

#include <array>
#include <cstdint>
#include <istream>
#include <stdexcept>
#include <string>
#include <vector>

#include "foundation/KString.h"

enum class ResultsColumn : int {
    Place,
    Id,
    Name,
    FirstName,
    LastName,
    Affiliation,
    Time,
    Laps,
    Split,
    Count
};

/// A file the reader cannot go on with. `Line()` is the line where the
/// offending row starts (1 for the header), or 0 when no line applies.
class ResultsCsvError : public std::runtime_error {
public:
    ResultsCsvError(int line, const std::string& message);
    int Line() const noexcept { return m_line; }

private:
    int m_line;
};

/// One data row: the cells of the known columns (empty when the column is
/// absent or the row is short).
struct ResultsCsvRow {
    int line = 0;
    std::array<KString, static_cast<size_t>(ResultsColumn::Count)> cells;

    const KString& Cell(ResultsColumn column) const { return cells[static_cast<size_t>(column)]; }
};

/// Streams a results file row by row; memory stays bounded by the row limit
/// whatever the file's size.
///
/// Encoding: UTF-16 when the file starts with its byte-order mark; otherwise
/// UTF-8 (a leading byte-order mark is skipped), where a byte that is not part
/// of a UTF-8 sequence is taken as Latin-1. Line ends CR, LF or CR LF; a
/// quoted field may span lines. The separator is the one of comma, semicolon
/// and tab that occurs most often (outside quotes) in the header line.
class ResultsCsvReader {
public:
    static constexpr size_t kMaxRowLength = 65536;  ///< characters of one row, line ends included
    static constexpr size_t kMaxFields = 1024;

    /// Reads the header line. Throws ResultsCsvError when the file is empty,
    /// the header is unreadable or it names no affiliation (or team) column.
    explicit ResultsCsvReader(std::istream& in);

    /// The next non-blank data row; false at the end of the file. Throws
    /// ResultsCsvError for a row that cannot be read (unclosed quote, text
    /// after a closing quote, too long, more non-empty fields than the header).
    bool Next(ResultsCsvRow& row);

    bool HasColumn(ResultsColumn column) const { return m_columnIndex[static_cast<size_t>(column)] >= 0; }
    KChar Separator() const { return m_separator; }
    int HeaderFieldCount() const { return m_headerFields; }

    /// The column a header text names, matched without regard to case, blanks
    /// or underscores; Count when it names none of them.
    static ResultsColumn ColumnOf(KStringView header);

private:
    enum class Encoding { Utf8, Utf16Le, Utf16Be };

    int GetByte();
    void UngetByte(int byte);
    int DecodeChar();
    int GetChar();  ///< one UTF-16 code unit, or -1 at the end
    int PeekChar();
    /// Collects one record's characters up to its unquoted line end. False at
    /// the end of the file when nothing was read. `startLine` gets its line.
    bool ReadRecord(KString& record, int& startLine);
    /// Splits a record at the separator, removing quotes.
    void SplitRecord(const KString& record, int line, std::vector<KString>& fields) const;

    std::istream& m_in;
    Encoding m_encoding = Encoding::Utf8;
    std::array<char, 4096> m_buffer{};
    size_t m_bufferPos = 0;
    size_t m_bufferEnd = 0;
    std::array<int, 4> m_backBytes{};  ///< bytes given back by a failed UTF-8 sequence
    int m_backCount = 0;
    int m_lowSurrogate = -1;  ///< second half of a character outside the basic plane
    int m_peeked = kNothingPeeked;
    static constexpr int kNothingPeeked = -2;
    int m_line = 1;
    KChar m_separator = u',';
    int m_headerFields = 0;
    std::array<int, static_cast<size_t>(ResultsColumn::Count)> m_columnIndex{};
    std::vector<KString> m_fields;
    KString m_record;
};
