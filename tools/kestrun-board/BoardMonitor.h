#pragma once

// What the monitor shows of the bytes a board receives: our video protocol as the board shows
// it, anything else as a hex dump.

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "BoardFrameDecoder.h"
#include "BoardView.h"
#include "HexDump.h"

enum class BoardShow {
    kAuto,   ///< the board while the bytes are our video frames, else a hex dump
    kBoard,  ///< always the board
    kHex,    ///< always a hex dump
};

/// Writes to `out`: on a terminal the board is redrawn in place, otherwise each new picture of
/// the board is printed below the last. Not synchronised.
class BoardMonitor {
public:
    /// Bytes held while the monitor decides what it is receiving.
    static constexpr size_t kDecideBytes = 2 * BoardFrameDecoder::kMaxFrame;

    BoardMonitor(BoardShow show, bool terminal, std::ostream& out);

    void Feed(std::string_view bytes);
    /// The port has been quiet for a moment: shows what arrived and was not shown yet.
    void Quiet();

    BoardShow Showing() const { return m_show; }
    const BoardFrameDecoder& Decoder() const { return m_decoder; }
    uint64_t Bytes() const { return m_bytes; }

private:
    void FeedBoard(std::string_view bytes);
    void StartHex();
    void Print(const std::vector<std::string>& lines);
    void Draw();

    BoardShow m_show;
    bool m_terminal;
    std::ostream& m_out;
    BoardFrameDecoder m_decoder;
    BoardView m_view;
    HexDump m_hex;
    std::string m_held;  // undecided: what a hex dump would have to show
    uint64_t m_bytes = 0;
};
