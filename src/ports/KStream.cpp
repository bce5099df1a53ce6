#include "ports/KStream.h"

#include <cstring>
#include <string>

#include "foundation/KError.h"

namespace {

constexpr KChar kCr = 13;
constexpr KChar kLf = 10;
constexpr KChar kReplacement = 0xFFFD;

bool IsHighSurrogate(KChar c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(KChar c) { return c >= 0xDC00 && c <= 0xDFFF; }

void AppendUtf8(std::string& bytes, uint32_t code) {
    if (code < 0x80) {
        bytes += static_cast<char>(code);
    } else if (code < 0x800) {
        bytes += static_cast<char>(0xC0 | (code >> 6));
        bytes += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        bytes += static_cast<char>(0xE0 | (code >> 12));
        bytes += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        bytes += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        bytes += static_cast<char>(0xF0 | (code >> 18));
        bytes += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        bytes += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        bytes += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// The length a UTF-8 lead byte announces; 0 for a byte that cannot start a sequence.
size_t Utf8Length(uint8_t lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

bool IsLineEndMode(KLineMode mode) { return mode >= KLineMode::Cr && mode <= KLineMode::LfCr; }

}  // namespace

KStream::~KStream() = default;

bool KStream::IsMine(int portCode) const { return portCode == 0; }

std::unique_ptr<KStream> KStream::Clone() const {
    auto stream = std::make_unique<KStream>();
    CopySettingsTo(*stream);
    return stream;
}

bool KStream::IsOpen() { return false; }

bool KStream::Open(KStringView /*spec*/) { return false; }

void KStream::Close() {
    m_lookAheadValid = false;
    m_partialCount = 0;
    m_pairChar = 0;
    m_lowSurrogate = 0;
    m_highSurrogate = 0;
    m_accessMode = 0;
}

int KStream::SetAccessMode(int mode) {
    m_accessMode = mode;
    return m_accessMode;
}

void KStream::Read(uint8_t* /*buffer*/, size_t /*count*/) { throw KError(KErrorCode::kSerialReceive); }

void KStream::Write(const uint8_t* /*buffer*/, size_t /*count*/) {
    throw KError(KErrorCode::kSerialTransmit);
}

void KStream::SetReadTimeout(int ms) { m_readTimeout = ms; }

void KStream::SetWriteTimeout(int ms) { m_writeTimeout = ms; }

void KStream::PurgeInput() {
    m_lookAheadValid = false;
    m_partialCount = 0;
    m_lowSurrogate = 0;
}

void KStream::Flush() {}

bool KStream::IsWriteReady() { return false; }

void KStream::WaitWriteDone() {}

void KStream::ResetOutput() {}

int KStream::PollDescriptor() const { return -1; }

bool KStream::IsDataAvailable() {
    if (m_lookAheadValid) return true;
    try {
        m_lookAhead = ReadTranslated();
    } catch (const KError&) {
        return false;
    }
    m_lookAheadValid = true;
    return true;
}

KChar KStream::ReadChar() {
    if (m_lookAheadValid) {
        m_lookAheadValid = false;
        return m_lookAhead;
    }
    return ReadTranslated();
}

KChar KStream::ReadTranslated() {
    while (true) {
        const KChar c = ReadUnit();
        if (m_pairChar != 0) {
            const KChar pair = m_pairChar;
            m_pairChar = 0;
            if (c == pair) {
                if (m_readLineMode == KLineMode::Cr) m_readLineMode = KLineMode::CrLf;
                if (m_readLineMode == KLineMode::Lf) m_readLineMode = KLineMode::LfCr;
                continue;
            }
        }
        if (m_readLineMode == KLineMode::None) return c;
        if (m_readLineMode == KLineMode::Auto) {
            if (c != kCr && c != kLf) return c;
            m_readLineMode = c == kCr ? KLineMode::Cr : KLineMode::Lf;
        }
        const bool crEnds = m_readLineMode == KLineMode::Cr || m_readLineMode == KLineMode::CrLf;
        const KChar terminator = crEnds ? kCr : kLf;
        if (c != terminator) return c;
        m_pairChar = crEnds ? kLf : kCr;
        return kLf;
    }
}

uint8_t KStream::NextByte() {
    Read(&m_partial[m_partialCount], 1);
    return m_partial[m_partialCount++];
}

KChar KStream::ReadUnit() {
    if (m_lowSurrogate != 0) {
        const KChar low = m_lowSurrogate;
        m_lowSurrogate = 0;
        return low;
    }
    // Bytes already in m_partial count as read; NextByte adds one, so a failed read keeps them.
    const auto need = [this](size_t n) {
        while (m_partialCount < n) NextByte();
    };
    const auto consume = [this](size_t n) {
        std::memmove(m_partial, m_partial + n, m_partialCount - n);
        m_partialCount -= n;
    };
    need(1);
    const uint8_t first = m_partial[0];
    switch (m_readCharMode) {
        case KCharMode::SingleByte:
            consume(1);
            return first;
        case KCharMode::Unicode: {
            need(2);
            const KChar unit = m_bigEndian ? static_cast<KChar>(first << 8 | m_partial[1])
                                           : static_cast<KChar>(m_partial[1] << 8 | first);
            consume(2);
            return unit;
        }
        case KCharMode::Detect: {
            if (first == 0xFF || first == 0xFE) {
                need(2);
                if ((first ^ m_partial[1]) == 0x01) {
                    m_readCharMode = KCharMode::Unicode;
                    m_bigEndian = first == 0xFE;
                    consume(2);
                    return ReadUnit();
                }
            }
            // Not a mark: single bytes, this one included (the byte after it stays queued).
            m_readCharMode = KCharMode::SingleByte;
            consume(1);
            return first;
        }
        case KCharMode::Native:
            break;
    }
    const size_t length = Utf8Length(first);
    if (length <= 1) {
        consume(1);
        return length == 1 ? first : kReplacement;
    }
    uint32_t code = first & (0xFF >> (length + 1));
    for (size_t i = 1; i < length; ++i) {
        need(i + 1);
        if ((m_partial[i] & 0xC0) != 0x80) {
            consume(i);  // the stray byte starts the next character
            return kReplacement;
        }
        code = code << 6 | (m_partial[i] & 0x3F);
    }
    consume(length);
    const uint32_t minimum = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
    if (code < minimum || code > 0x10FFFF) return kReplacement;
    if (code < 0x10000) return static_cast<KChar>(code);
    code -= 0x10000;
    m_lowSurrogate = static_cast<KChar>(0xDC00 | (code & 0x3FF));
    return static_cast<KChar>(0xD800 | (code >> 10));
}

void KStream::AppendEncoded(std::string& bytes, KChar c) {
    KCharMode mode = m_writeCharMode == KCharMode::Detect ? m_readCharMode : m_writeCharMode;
    if (mode == KCharMode::Detect) mode = KCharMode::Unicode;
    switch (mode) {
        case KCharMode::SingleByte:
            bytes += static_cast<char>(c & 0xFF);
            return;
        case KCharMode::Unicode:
        case KCharMode::Detect:
            bytes += static_cast<char>(m_bigEndian ? c >> 8 : c & 0xFF);
            bytes += static_cast<char>(m_bigEndian ? c & 0xFF : c >> 8);
            return;
        case KCharMode::Native:
            break;
    }
    // A surrogate pair is one 4-byte sequence, so its first half waits for the second.
    if (m_highSurrogate != 0) {
        const KChar high = m_highSurrogate;
        m_highSurrogate = 0;
        if (IsLowSurrogate(c)) {
            AppendUtf8(bytes, 0x10000 + ((static_cast<uint32_t>(high) - 0xD800) << 10) + (c - 0xDC00));
            return;
        }
        AppendUtf8(bytes, kReplacement);
    }
    if (IsHighSurrogate(c)) {
        m_highSurrogate = c;
    } else {
        AppendUtf8(bytes, IsLowSurrogate(c) ? kReplacement : c);
    }
}

void KStream::WriteChar(KChar c) {
    KLineMode lineMode = m_writeLineMode;
    if (lineMode == KLineMode::Auto)
        lineMode = IsLineEndMode(m_readLineMode) ? m_readLineMode : KLineMode::CrLf;
    std::string bytes;
    if (c == kLf && lineMode != KLineMode::None) {
        const bool crFirst = lineMode == KLineMode::Cr || lineMode == KLineMode::CrLf;
        AppendEncoded(bytes, crFirst ? kCr : kLf);
        if (lineMode == KLineMode::CrLf || lineMode == KLineMode::LfCr)
            AppendEncoded(bytes, crFirst ? kLf : kCr);
    } else {
        AppendEncoded(bytes, c);
    }
    if (!bytes.empty()) Write(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

bool KStream::ReadLine(KString& line, KStringView terminators, size_t maxLength) {
    while (line.size() < maxLength && IsDataAvailable()) {
        const KChar c = ReadChar();
        if (terminators.find(c) != KStringView::npos) return true;
        line += c;
    }
    return false;
}

void KStream::SetReadModes(KCharMode charMode, KLineMode lineMode) {
    m_readCharMode = charMode;
    m_readLineMode = lineMode;
    m_pairChar = 0;
}

void KStream::SetWriteModes(KCharMode charMode, KLineMode lineMode) {
    m_writeCharMode = charMode;
    m_writeLineMode = lineMode;
}

void KStream::SetModes(KCharMode charMode, KLineMode lineMode) {
    SetReadModes(charMode, lineMode);
    SetWriteModes(charMode, lineMode);
}

void KStream::NotifyRead(const uint8_t* bytes, size_t count) const {
    if (m_readObserver && count > 0) m_readObserver(bytes, count);
}

void KStream::NotifyWrite(const uint8_t* bytes, size_t count) const {
    if (m_writeObserver && count > 0) m_writeObserver(bytes, count);
}

void KStream::CopySettingsTo(KStream& target) const {
    target.m_readLineMode = m_readLineMode;
    target.m_writeLineMode = m_writeLineMode;
    target.m_readCharMode = m_readCharMode;
    target.m_writeCharMode = m_writeCharMode;
    target.m_bigEndian = m_bigEndian;
    target.m_readTimeout = m_readTimeout;
    target.m_writeTimeout = m_writeTimeout;
}
