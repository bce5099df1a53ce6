// Feeds any bytes, in pieces of any size, to what kestrun-board makes of a board's stream: the
// frame decoder keeps its limits, and the board view and hex dump take whatever comes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string_view>

#include "BoardFrameDecoder.h"
#include "BoardMonitor.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    // The first byte picks the piece size and what the monitor shows.
    const size_t piece = 1 + data[0] % 64;
    const auto show = static_cast<BoardShow>(data[0] / 64 % 3);
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

    BoardFrameDecoder decoder;
    uint64_t seen = 0;
    std::ostringstream out;
    BoardMonitor monitor(show, data[0] >= 192, out);
    for (size_t at = 0; at < bytes.size(); at += piece) {
        const std::string_view chunk = bytes.substr(at, piece);
        decoder.Feed(chunk, [&](const BoardFrame& frame) {
            if (frame.text.size() > BoardFrameDecoder::kMaxFrame || frame.row < 0 || frame.row > 99)
                std::abort();
            if (frame.kind != BoardFrame::Kind::kShow) ++seen;
        });
        monitor.Feed(chunk);
        if (chunk.back() == '\n') monitor.Quiet();
    }
    monitor.Quiet();
    if (seen != decoder.Frames() || decoder.Frames() + decoder.Dropped() > bytes.size()) std::abort();
    return 0;
}
