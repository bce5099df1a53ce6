#include "script/VCommandLanguage.h"

#include <algorithm>

namespace {

int HexDigit(KChar c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// Upper-case letters are command letters, so an escape takes lower-case hexadecimal digits only.
bool IsEscapeDigit(KChar c) { return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f'); }

bool IsLowerLetter(KChar c) { return c >= u'a' && c <= u'z'; }

// Arithmetic on registers wraps at 32 bits, as the registers of the original machine word did.
int32_t Wrap(uint32_t bits) { return static_cast<int32_t>(bits); }
uint32_t Bits(int32_t value) { return static_cast<uint32_t>(value); }

// Byte i of `value` counted by `shift` bits; shifts past the width repeat the sign, as an arithmetic
// shift of a wider word would.
KChar ShiftedChar(int32_t value, int shift) {
    return static_cast<KChar>((static_cast<int64_t>(value) >> std::min(shift, 63)) & 0xFFFF);
}

constexpr KChar kSevenSegment[10] = {0x40, 0x79, 0x24, 0x30, 0x19, 0x12, 0x02, 0x78, 0x00, 0x18};

class Interpreter {
public:
    Interpreter(KString& out, VRegisters& registers, VCommandDialect dialect)
        : m_out(out), m_registers(registers), m_dialect(dialect) {}

    bool Run(KStringView text) {
        m_out.clear();
        m_limit = text.size() + kMaxExpansionGrowth;
        for (size_t i = 0; i < text.size() && !m_stopped;) {
            const KChar c = text[i];
            if (c != u'\\') {
                m_cursor += Insert(1, c);
                ++i;
            } else if (i + 2 < text.size() && IsEscapeDigit(text[i + 1]) && IsEscapeDigit(text[i + 2])) {
                m_cursor += Insert(1, static_cast<KChar>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2])));
                i += 3;
            } else {
                i = Command(text, i + 1);
            }
        }
        return !m_stopped;
    }

private:
    // text[pos] is the command letter; returns the position after the command.
    size_t Command(KStringView text, size_t pos) {
        if (pos >= text.size()) return pos;
        const KChar letter = text[pos++];
        KChar modifier = 0;
        if (pos < text.size() && IsLowerLetter(text[pos])) modifier = text[pos++];
        const std::optional<int> number = ReadNumberToken(text, pos);
        if (!number) return pos;
        Execute(letter, modifier, *number);
        if (letter != u'U' && letter != u'X') m_u = m_x = -1;
        return pos;
    }

    void Execute(KChar letter, KChar modifier, int n) {
        switch (letter) {
            case u'U':
                m_u = modifier == u'i' ? Get(n) : n;
                break;
            case u'X':
                m_x = modifier == u'i' ? Get(n) : n;
                break;
            case u'B':
                Erase(false, n);
                break;
            case u'D':
                Erase(true, n);
                break;
            case u'L':
                m_cursor -= Clip(WholeIfZero(CountOr(n), Left()), Left());
                break;
            case u'R':
                m_cursor += Clip(WholeIfZero(CountOr(n), Right()), Right());
                break;
            case u'I':
                InsertFill(modifier, n);
                break;
            case u'H':
                StopTest(modifier, n);
                break;
            case u'O':
                OutputNumber(Get(n));
                break;
            case u'S':
                Scan(n);
                break;
            case u'F':
                Checksum(n);
                break;
            case u'P':
                Transform(n);
                break;
            default:
                Operator(letter, n);
                break;
        }
    }

    int32_t Get(int n) const { return n >= 0 && n <= 9 ? m_registers[static_cast<size_t>(n)] : 0; }
    void Set(int n, int32_t value) {
        if (n >= 0 && n <= 9) m_registers[static_cast<size_t>(n)] = value;
    }
    bool UIsRegister() const { return m_u >= 0 && m_u <= 9; }
    int64_t CountOr(int n) const { return UIsRegister() ? Get(m_u) : n; }
    int64_t Left() const { return static_cast<int64_t>(m_cursor); }
    int64_t Right() const { return static_cast<int64_t>(m_out.size() - m_cursor); }
    static int64_t WholeIfZero(int64_t count, int64_t whole) { return count == 0 ? whole : count; }
    static size_t Clip(int64_t count, int64_t limit) {
        return static_cast<size_t>(std::clamp<int64_t>(count, 0, limit));
    }
    // Characters after the cursor that F, P and S look at: all of them, or at most X.
    size_t Span() const { return Clip(m_x >= 0 ? std::min<int64_t>(m_x, Right()) : Right(), Right()); }

    // Inserts at the cursor without moving it, never beyond the output limit; returns the count.
    size_t Insert(size_t count, KChar c) {
        count = std::min(count, m_limit - std::min(m_limit, m_out.size()));
        m_out.insert(m_cursor, count, c);
        return count;
    }

    void Erase(bool forward, int n) {
        const int64_t side = forward ? Right() : Left();
        int64_t count = WholeIfZero(CountOr(n), side);
        if (m_x >= 0) count = static_cast<int64_t>(m_out.size()) - m_x;
        const size_t erased = Clip(count, side);
        if (!forward) m_cursor -= erased;
        m_out.erase(m_cursor, erased);
    }

    void InsertFill(KChar modifier, int n) {
        int64_t count = CountOr(n);
        KChar fill = u' ';
        if (m_x >= 0) {
            if (modifier == u'c')
                fill = static_cast<KChar>(m_x & 0xFFFF);
            else
                count = m_x - static_cast<int64_t>(m_out.size());
        }
        Insert(Clip(count, static_cast<int64_t>(m_limit)), fill);
    }

    void StopTest(KChar modifier, int n) {
        if (m_dialect != VCommandDialect::Scoreboard) return;
        const int32_t w = UIsRegister() ? Get(m_u) : m_x >= 0 ? m_x : 0;
        const int32_t r = Get(n);
        switch (modifier) {
            case u'e':
                m_stopped = r == w;
                break;
            case u'n':
                m_stopped = r != w;
                break;
            case u'g':
                m_stopped = r > w;
                break;
            case u'h':
                m_stopped = r >= w;
                break;
            case u'l':
                m_stopped = r < w;
                break;
            case u'm':
                m_stopped = r <= w;
                break;
            default:
                break;
        }
    }

    void OutputNumber(int32_t value) {
        const size_t width = m_x >= 0 ? static_cast<size_t>(std::min(10, m_x)) : 1;
        KString piece;
        switch (m_u) {
            case 1:
                for (size_t i = 0; i < width; ++i)
                    piece += ShiftedChar(value, static_cast<int>(8 * (width - 1 - i)));
                break;
            case 2:
            case 3:
            case 4:
            case 5:
                piece = Decimal(value, width, m_u == 4 || m_u == 5, m_u == 3);
                break;
            default:
                for (size_t i = 0; i < width; ++i) piece += ShiftedChar(value, static_cast<int>(8 * i));
                break;
        }
        piece.resize(std::min(piece.size(), width));
        for (const KChar c : piece) m_cursor += Insert(1, c);
    }

    // "%*d", "%0*d", "%-*d" and "%-0*d" of C, without a C formatting function: a minus sign wins over
    // zero filling.
    static KString Decimal(int32_t value, size_t width, bool leftJustify, bool zeroFill) {
        KString digits = ToKString(value);
        if (digits.size() >= width) return digits;
        const size_t pad = width - digits.size();
        if (leftJustify) return digits + KString(pad, u' ');
        if (zeroFill) return digits.insert(value < 0 ? 1 : 0, pad, u'0');
        return KString(pad, u' ') + digits;
    }

    void Scan(int n) {
        const int64_t wanted = m_x >= 0 ? m_x : 1;
        const KStringView after = KStringView(m_out).substr(m_cursor);
        if (m_u == 1 || m_u == 2) {
            const size_t count = Clip(std::min<int64_t>(4, wanted), static_cast<int64_t>(after.size()));
            uint32_t value = 0;
            for (size_t i = 0; i < count; ++i) {
                const size_t shift = m_u == 1 ? 8 * i : 8 * (count - 1 - i);
                value |= static_cast<uint32_t>(after[i]) << shift;
            }
            Set(n, Wrap(value));
            return;
        }
        const size_t count = Clip(std::min<int64_t>(10, wanted), static_cast<int64_t>(after.size()));
        const KStringView field = after.substr(0, count);
        size_t pos = 0;
        while (pos < field.size() && (field[pos] == u' ' || field[pos] == u'\t')) ++pos;
        const bool negative = pos < field.size() && field[pos] == u'-';
        if (pos < field.size() && (field[pos] == u'-' || field[pos] == u'+')) ++pos;
        const size_t first = pos;
        uint32_t value = 0;
        for (; pos < field.size() && field[pos] >= u'0' && field[pos] <= u'9'; ++pos)
            value = value * 10 + static_cast<uint32_t>(field[pos] - u'0');
        if (pos > first) Set(n, Wrap(negative ? 0u - value : value));
    }

    void Checksum(int n) {
        const KStringView data = KStringView(m_out).substr(m_cursor, Span());
        switch (m_u) {
            case 1:
            case 2: {
                uint32_t value = Bits(Get(n));
                for (const KChar c : data) value = m_u == 1 ? value ^ (c & 0xFFu) : value + (c & 0xFFu);
                Set(n, Wrap(value));
                break;
            }
            case 3:
            case 4: {
                const uint32_t mask = m_u == 3 ? 0xFFFFu : 0xFFFFFFFFu;
                uint32_t crc = Bits(Get(n)) & mask;
                const uint32_t poly = Bits(Get(n + 1)) & mask;
                for (const KChar c : data) {
                    crc ^= c & 0xFFu;
                    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1u) != 0 ? (crc >> 1) ^ poly : crc >> 1;
                }
                Set(n, Wrap(crc));
                break;
            }
            default: {
                uint32_t crc = 0;
                for (const KChar c : data) {
                    crc ^= (c & 0xFFu) << 8;
                    for (int bit = 0; bit < 8; ++bit)
                        crc = ((crc & 0x8000u) != 0 ? (crc << 1) ^ 0x1021u : crc << 1) & 0xFFFFu;
                }
                Set(n, Wrap(crc));
                break;
            }
        }
    }

    void Transform(int n) {
        const size_t count = Span();
        KChar* data = m_out.data() + m_cursor;
        if (n == 1) {
            const uint32_t base = Bits(Get(1));
            for (size_t i = 0; i < count; ++i) {
                const uint32_t high = (base + static_cast<uint32_t>(i)) * 16u;
                const KChar c = data[i];
                const uint32_t low = c >= u'0' && c <= u'9' ? (~static_cast<uint32_t>(c - u'0') & 15u) : 0u;
                data[i] = static_cast<KChar>((high | low) & 0xFFFFu);
            }
            Set(1, Wrap(base + static_cast<uint32_t>(count)));
        } else if (n == 2) {
            for (size_t i = 0; i < count; ++i)
                data[i] = data[i] >= u'0' && data[i] <= u'9' ? kSevenSegment[data[i] - u'0'] : KChar{0xFF};
        } else {
            std::reverse(data, data + count);
        }
    }

    void Operator(KChar op, int n) {
        const int32_t v = UIsRegister() ? Get(m_u) : m_x >= 0 ? m_x : 1;
        const int32_t r = Get(n);
        const uint32_t a = Bits(r);
        const uint32_t b = Bits(v);
        switch (op) {
            case u'!':
                if (m_dialect == VCommandDialect::Scoreboard) Set(n, r == 0 ? 1 : 0);
                break;
            // INT32_MIN by -1 does not fit: its quotient wraps and its remainder is 0.
            case u'#':
                Set(n, v == 0 || v == -1 ? 0 : r % v);
                break;
            case u'/':
                Set(n, v == 0 ? 0 : v == -1 ? Wrap(0u - a) : r / v);
                break;
            case u'&':
                Set(n, Wrap(a & b));
                break;
            case u'*':
                Set(n, Wrap(a * b));
                break;
            case u'+':
                Set(n, Wrap(a + b));
                break;
            case u'-':
                Set(n, Wrap(a - b));
                break;
            case u'<':
                Set(n, Wrap(a << (b & 31u)));
                break;
            case u'=':
                Set(n, v);
                break;
            case u'>':
                Set(n, r >> (b & 31u));
                break;
            case u'^':
                Set(n, Wrap(a ^ b));
                break;
            case u'|':
                Set(n, Wrap(a | b));
                break;
            case u'~':
                Set(n, Wrap(~a));
                break;
            default:
                break;
        }
    }

    KString& m_out;
    VRegisters& m_registers;
    VCommandDialect m_dialect;
    size_t m_limit = 0;
    size_t m_cursor = 0;
    int32_t m_u = -1;
    int32_t m_x = -1;
    bool m_stopped = false;
};

}  // namespace

std::optional<int> ReadNumberToken(KStringView text, size_t& pos) {
    if (pos >= text.size()) return std::nullopt;
    const KChar c = text[pos];
    if (c >= u'0' && c <= u'9') {
        ++pos;
        return c - u'0';
    }
    if (c != u'\\') return std::nullopt;
    const KStringView scan = text.substr(pos + 1, 2);
    pos += 1 + scan.size();
    if (scan.empty() || HexDigit(scan[0]) < 0) return -1;
    if (scan.size() < 2 || HexDigit(scan[1]) < 0) return HexDigit(scan[0]);
    return HexDigit(scan[0]) * 16 + HexDigit(scan[1]);
}

void AppendHexEscape(KString& out, uint32_t value) {
    static constexpr char16_t kDigits[] = u"0123456789abcdef";
    out += u'\\';
    out += kDigits[(value >> 4) & 15u];
    out += kDigits[value & 15u];
}

bool ExpandCommands(KStringView text, KString& out, VRegisters& registers, VCommandDialect dialect) {
    return Interpreter(out, registers, dialect).Run(text);
}
