#include "ResultsCsv.h"

#include <algorithm>

namespace {

constexpr int kEnd = -1;

bool IsBlank(KChar c, KChar separator) { return (c == u' ' || c == u'\t') && c != separator; }

std::string LinePrefix(int line) { return "line " + std::to_string(line) + ": "; }

KString Normalized(KStringView header) {
    KString out;
    for (KChar c : header) {
        if (c == u' ' || c == u'_' || c == u'\t') continue;
        out += FoldCase(c);
    }
    return out;
}

}  // namespace

ResultsCsvError::ResultsCsvError(int line, const std::string& message)
    : std::runtime_error(line > 0 ? LinePrefix(line) + message : message), m_line(line) {}

ResultsColumn ResultsCsvReader::ColumnOf(KStringView header) {
    struct Alias {
        const char16_t* name;
        ResultsColumn column;
    };
    static constexpr Alias kAliases[] = {
        {u"place", ResultsColumn::Place},
        {u"id", ResultsColumn::Id},
        {u"bib", ResultsColumn::Id},
        {u"name", ResultsColumn::Name},
        {u"firstname", ResultsColumn::FirstName},
        {u"lastname", ResultsColumn::LastName},
        {u"affiliation", ResultsColumn::Affiliation},
        {u"team", ResultsColumn::Affiliation},
        {u"time", ResultsColumn::Time},
        {u"laps", ResultsColumn::Laps},
        {u"split", ResultsColumn::Split},
    };
    const KString key = Normalized(header);
    for (const auto& alias : kAliases) {
        if (key == alias.name) return alias.column;
    }
    return ResultsColumn::Count;
}

ResultsCsvReader::ResultsCsvReader(std::istream& in) : m_in(in) {
    m_columnIndex.fill(-1);
    const int b0 = GetByte();
    const int b1 = b0 == kEnd ? kEnd : GetByte();
    if (b0 == 0xFF && b1 == 0xFE) {
        m_encoding = Encoding::Utf16Le;
    } else if (b0 == 0xFE && b1 == 0xFF) {
        m_encoding = Encoding::Utf16Be;
    } else {
        const int b2 = b1 == kEnd ? kEnd : GetByte();
        if (!(b0 == 0xEF && b1 == 0xBB && b2 == 0xBF)) {
            if (b2 != kEnd) UngetByte(b2);
            if (b1 != kEnd) UngetByte(b1);
            if (b0 != kEnd) UngetByte(b0);
        }
    }

    int line = 0;
    // Blank lines before the header (some exports start with one) are skipped.
    do {
        if (!ReadRecord(m_record, line)) throw ResultsCsvError(0, "the file is empty (no header line)");
    } while (std::all_of(m_record.begin(), m_record.end(), [](KChar c) { return IsBlank(c, 0); }));

    // The separator is the candidate that splits the header most often.
    size_t best = 0;
    bool quoted = false;
    for (KChar candidate : {u',', u';', u'\t'}) {
        size_t count = 0;
        quoted = false;
        for (KChar c : m_record) {
            if (c == u'"') quoted = !quoted;
            if (!quoted && c == candidate) ++count;
        }
        if (count > best) best = count, m_separator = candidate;
    }

    SplitRecord(m_record, line, m_fields);
    m_headerFields = static_cast<int>(m_fields.size());
    const bool hasName = std::any_of(m_fields.begin(), m_fields.end(),
                                     [](const KString& f) { return ColumnOf(f) == ResultsColumn::Name; });
    for (size_t i = 0; i < m_fields.size(); ++i) {
        const ResultsColumn column = ColumnOf(m_fields[i]);
        if (column == ResultsColumn::Count) continue;
        // A full-name column wins over separate first and last names.
        if (hasName && (column == ResultsColumn::FirstName || column == ResultsColumn::LastName)) continue;
        int& index = m_columnIndex[static_cast<size_t>(column)];
        if (index < 0) index = static_cast<int>(i);
    }
    if (!HasColumn(ResultsColumn::Affiliation)) {
        throw ResultsCsvError(line, "the header line names no affiliation (or team) column");
    }
}

bool ResultsCsvReader::Next(ResultsCsvRow& row) {
    for (;;) {
        int line = 0;
        if (!ReadRecord(m_record, line)) return false;
        const bool blank = std::all_of(m_record.begin(), m_record.end(),
                                       [this](KChar c) { return IsBlank(c, 0) || c == m_separator; });
        if (blank) continue;
        SplitRecord(m_record, line, m_fields);
        if (m_fields.size() > static_cast<size_t>(m_headerFields)) {
            // Extra empty fields are trailing separators; extra text usually
            // means an unquoted separator inside a name, which shifts columns.
            const bool extraEmpty = std::all_of(m_fields.begin() + m_headerFields, m_fields.end(),
                                                [](const KString& f) { return f.empty(); });
            if (!extraEmpty) {
                throw ResultsCsvError(
                    line, std::to_string(m_fields.size()) + " fields where the header has " +
                              std::to_string(m_headerFields) + " (is a separator inside an unquoted field?)");
            }
        }
        row.line = line;
        for (size_t c = 0; c < row.cells.size(); ++c) {
            const int index = m_columnIndex[c];
            if (index >= 0 && static_cast<size_t>(index) < m_fields.size()) {
                row.cells[c] = std::move(m_fields[static_cast<size_t>(index)]);
            } else {
                row.cells[c].clear();
            }
        }
        return true;
    }
}

int ResultsCsvReader::GetByte() {
    if (m_backCount > 0) return m_backBytes[static_cast<size_t>(--m_backCount)];
    if (m_bufferPos == m_bufferEnd) {
        if (!m_in) return kEnd;
        m_in.read(m_buffer.data(), static_cast<std::streamsize>(m_buffer.size()));
        m_bufferPos = 0;
        m_bufferEnd = static_cast<size_t>(std::max<std::streamsize>(m_in.gcount(), 0));
        if (m_bufferEnd == 0) return kEnd;
    }
    return static_cast<unsigned char>(m_buffer[m_bufferPos++]);
}

void ResultsCsvReader::UngetByte(int byte) {
    if (m_backCount < static_cast<int>(m_backBytes.size()))
        m_backBytes[static_cast<size_t>(m_backCount++)] = byte;
}

int ResultsCsvReader::DecodeChar() {
    if (m_lowSurrogate >= 0) {
        const int low = m_lowSurrogate;
        m_lowSurrogate = -1;
        return low;
    }
    if (m_encoding != Encoding::Utf8) {
        const int a = GetByte();
        if (a == kEnd) return kEnd;
        const int b = GetByte();
        if (b == kEnd) return kEnd;  // a lone last byte is not a character
        return m_encoding == Encoding::Utf16Le ? (b << 8) | a : (a << 8) | b;
    }
    const int lead = GetByte();
    if (lead < 0x80) return lead;  // also kEnd
    int extra = 0;
    char32_t cp = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1, cp = static_cast<char32_t>(lead & 0x1F), minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2, cp = static_cast<char32_t>(lead & 0x0F), minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3, cp = static_cast<char32_t>(lead & 0x07), minimum = 0x10000;
    } else {
        return lead;  // not a UTF-8 lead byte: Latin-1
    }
    std::array<int, 3> tail{};
    int got = 0;
    for (; got < extra; ++got) {
        const int next = GetByte();
        if (next == kEnd || (next & 0xC0) != 0x80) {
            if (next != kEnd) UngetByte(next);
            break;
        }
        tail[static_cast<size_t>(got)] = next;
        cp = (cp << 6) | static_cast<char32_t>(next & 0x3F);
    }
    if (got < extra || cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) {
        // Not a valid sequence: the lead byte is Latin-1, the rest is read again.
        for (int i = got - 1; i >= 0; --i) UngetByte(tail[static_cast<size_t>(i)]);
        return lead;
    }
    if (cp >= 0x10000) {
        cp -= 0x10000;
        m_lowSurrogate = static_cast<int>(0xDC00 + (cp & 0x3FF));
        return static_cast<int>(0xD800 + (cp >> 10));
    }
    return static_cast<int>(cp);
}

int ResultsCsvReader::GetChar() {
    if (m_peeked != kNothingPeeked) {
        const int c = m_peeked;
        m_peeked = kNothingPeeked;
        return c;
    }
    return DecodeChar();
}

int ResultsCsvReader::PeekChar() {
    if (m_peeked == kNothingPeeked) m_peeked = DecodeChar();
    return m_peeked;
}

bool ResultsCsvReader::ReadRecord(KString& record, int& startLine) {
    record.clear();
    startLine = m_line;
    bool quoted = false;
    bool any = false;
    for (;;) {
        const int c = GetChar();
        if (c == kEnd) {
            if (quoted)
                throw ResultsCsvError(startLine, "a quoted field is not closed before the end of the file");
            return any;
        }
        any = true;
        if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && PeekChar() == u'\n') GetChar();
            ++m_line;
            if (!quoted) return true;
            record += u'\n';
        } else {
            if (c == u'"') quoted = !quoted;
            record += static_cast<KChar>(c);
        }
        if (record.size() > kMaxRowLength) {
            throw ResultsCsvError(startLine,
                                  "row longer than " + std::to_string(kMaxRowLength) + " characters");
        }
    }
}

void ResultsCsvReader::SplitRecord(const KString& record, int line, std::vector<KString>& fields) const {
    fields.clear();
    size_t i = 0;
    const size_t n = record.size();
    for (;;) {
        if (fields.size() == kMaxFields) {
            throw ResultsCsvError(line, "more than " + std::to_string(kMaxFields) + " fields");
        }
        KString field;
        while (i < n && IsBlank(record[i], m_separator)) ++i;
        if (i < n && record[i] == u'"') {
            ++i;
            for (;;) {
                if (i >= n) throw ResultsCsvError(line, "a quoted field is not closed");
                if (record[i] == u'"') {
                    if (i + 1 < n && record[i + 1] == u'"') {
                        field += u'"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += record[i++];
            }
            while (i < n && IsBlank(record[i], m_separator)) ++i;
            if (i < n && record[i] != m_separator) {
                throw ResultsCsvError(
                    line, "text after the closing quote of field " + std::to_string(fields.size() + 1));
            }
        } else {
            const size_t start = i;
            while (i < n && record[i] != m_separator) ++i;
            size_t end = i;
            while (end > start && IsBlank(record[end - 1], m_separator)) --end;
            field.assign(record, start, end - start);
        }
        fields.push_back(std::move(field));
        if (i >= n) return;
        ++i;  // the separator
    }
}
