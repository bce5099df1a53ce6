#pragma once

// The Telerank video protocol as a board receives it (docs/board-protocols.md): frames
// STX letter text ETX, and CR LF between frames to show the page.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

struct BoardFrame {
    enum class Kind { kClear, kLine, kClock, kShow };
    Kind kind = Kind::kShow;
    int row = 0;       ///< kLine: 0 the title, 1..99 the body
    std::string text;  ///< kLine, kClock: Latin-1 bytes
};

/// Cuts a byte stream into frames. Whatever arrives, it holds at most one frame's bytes: noise
/// between frames is skipped, a frame cut short by the next STX, an oversized frame and a frame
/// that breaks the rules are dropped and counted.
class BoardFrameDecoder {
public:
    /// The longest frame kept, STX and ETX excluded; longer ones are dropped.
    static constexpr size_t kMaxFrame = 250;
    using Sink = std::function<void(const BoardFrame&)>;

    /// Calls `sink` for every frame completed by these bytes, in order.
    void Feed(std::string_view bytes, const Sink& sink);

    uint64_t Frames() const { return m_frames; }
    uint64_t Dropped() const { return m_dropped; }
    /// Bytes outside frames that were neither STX nor a line end.
    uint64_t Skipped() const { return m_skipped; }

private:
    void Finish(const Sink& sink);
    void Drop();

    enum class State { kBetween, kInFrame, kOversized };
    State m_state = State::kBetween;
    std::string m_frame;
    BoardFrame m_out;
    uint64_t m_frames = 0;
    uint64_t m_dropped = 0;
    uint64_t m_skipped = 0;
};
