#pragma once

// The stream interface of every connection: serial ports, sockets and the plain stream of
// port code 0, which opens nothing.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "foundation/KString.h"
#include "foundation/KTextFile.h"

/// 0 none (characters pass unchanged), 1 automatic (the first CR or LF read fixes 2 or 3),
/// 2 CR, 3 LF, 4 CR LF, 5 LF CR.
enum class KLineMode : int { None = 0, Auto = 1, Cr = 2, Lf = 3, CrLf = 4, LfCr = 5 };

/// Called after a successful Read or Write with the bytes it moved.
using KStreamObserver = std::function<void(const uint8_t* bytes, size_t count)>;

/// A new stream has line modes Auto, character modes Detect, little-endian Unicode, access
/// mode 0, timeouts 0 and no observers.
///
/// Characters: SingleByte is one byte; Unicode one UTF-16 unit in the byte order; Native the
/// UTF-8 sequence of one unit (a 4-byte sequence yields its two surrogates one after the
/// other); Detect reads a byte-order mark and then behaves as SingleByte or Unicode, and
/// writes in the read mode (Unicode while that is still Detect).
///
/// ReadChar keeps a character that is only partly there (a first byte of two, a line-end pair
/// cut in half) across a failed read, so a poller that reads whatever has arrived never loses
/// or splits a character.
///
/// A stream is used by one thread at a time. The plain stream opens nothing: Read raises
/// 5001 and Write 5003.
class KStream {
public:
    KStream() = default;
    /// Drivers close in their own destructor.
    virtual ~KStream();

    KStream(const KStream&) = delete;
    KStream& operator=(const KStream&) = delete;

    /// Whether this class serves `portCode` (the plain stream: 0).
    virtual bool IsMine(int portCode) const;
    /// A new, closed stream of the same class and settings (modes, byte order, timeouts,
    /// buffer sizes, user mode).
    virtual std::unique_ptr<KStream> Clone() const;
    virtual bool IsOpen();
    /// False on failure; never raises.
    virtual bool Open(KStringView spec);
    /// Clears the look-ahead, the partial character, the pair character and the access mode.
    virtual void Close();
    /// 1 read, 2 write; returns the mode now set.
    virtual int SetAccessMode(int mode);
    /// Reads exactly `count` bytes or raises a numbered error.
    virtual void Read(uint8_t* buffer, size_t count);
    /// Queues or sends `count` bytes or raises a numbered error.
    virtual void Write(const uint8_t* buffer, size_t count);
    virtual void SetReadTimeout(int ms);
    virtual void SetWriteTimeout(int ms);
    /// Discards everything that can be read now, the look-ahead included.
    virtual void PurgeInput();
    /// Sends what Write queued.
    virtual void Flush();
    virtual bool IsWriteReady();
    virtual void WaitWriteDone();
    /// Discards queued, unsent output.
    virtual void ResetOutput();
    /// A descriptor that becomes readable when data arrives, for a main loop's poll(); -1 when
    /// there is none.
    virtual int PollDescriptor() const;

    /// Reads one character ahead and keeps it; any numbered error means false.
    bool IsDataAvailable();
    /// The look-ahead, or one character by the read modes. Raises what Read raises.
    KChar ReadChar();
    /// One character by the write modes, in one Write.
    void WriteChar(KChar c);
    /// Appends characters to `line` up to one of `terminators` (read, not appended). True when
    /// a terminator ended the line; false when `maxLength` characters are in `line` or nothing
    /// more can be read now (what was read stays in `line`).
    bool ReadLine(KString& line, KStringView terminators, size_t maxLength);

    KCharMode ReadCharMode() const { return m_readCharMode; }
    KCharMode WriteCharMode() const { return m_writeCharMode; }
    KLineMode ReadLineMode() const { return m_readLineMode; }
    KLineMode WriteLineMode() const { return m_writeLineMode; }
    void SetReadModes(KCharMode charMode, KLineMode lineMode);
    void SetWriteModes(KCharMode charMode, KLineMode lineMode);
    /// Both directions.
    void SetModes(KCharMode charMode, KLineMode lineMode);
    bool IsBigEndian() const { return m_bigEndian; }
    void SetBigEndian(bool bigEndian) { m_bigEndian = bigEndian; }
    int AccessMode() const { return m_accessMode; }
    int ReadTimeout() const { return m_readTimeout; }
    int WriteTimeout() const { return m_writeTimeout; }
    void SetReadObserver(KStreamObserver observer) { m_readObserver = std::move(observer); }
    void SetWriteObserver(KStreamObserver observer) { m_writeObserver = std::move(observer); }

protected:
    /// Drivers call these after a successful Read or Write.
    void NotifyRead(const uint8_t* bytes, size_t count) const;
    void NotifyWrite(const uint8_t* bytes, size_t count) const;
    /// The settings a clone takes over.
    void CopySettingsTo(KStream& target) const;

private:
    KChar ReadTranslated();
    KChar ReadUnit();
    uint8_t NextByte();
    void AppendEncoded(std::string& bytes, KChar c);

    KLineMode m_readLineMode = KLineMode::Auto;
    KLineMode m_writeLineMode = KLineMode::Auto;
    KCharMode m_readCharMode = KCharMode::Detect;
    KCharMode m_writeCharMode = KCharMode::Detect;
    bool m_bigEndian = false;
    int m_accessMode = 0;
    int m_readTimeout = 0;
    int m_writeTimeout = 0;
    KStreamObserver m_readObserver;
    KStreamObserver m_writeObserver;

    KChar m_pairChar = 0;  // the second character of a line-end pair still to be swallowed
    KChar m_lookAhead = 0;
    bool m_lookAheadValid = false;
    // Bytes of a character read so far; a failed read leaves them for the next ReadChar.
    uint8_t m_partial[4] = {};
    size_t m_partialCount = 0;
    KChar m_lowSurrogate = 0;   // the second half of a 4-byte native sequence, still to deliver
    KChar m_highSurrogate = 0;  // a native write waiting for its second half
};
