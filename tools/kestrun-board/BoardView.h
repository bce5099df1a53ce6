#pragma once

// What a Telerank video board shows: it writes frames into a hidden page and shows the page when
// an update ends.

#include <string>
#include <vector>

#include "BoardFrameDecoder.h"

class BoardView {
public:
    /// Applies a frame to the hidden page; a show frame shows it. True when what the board
    /// shows changed.
    bool Apply(const BoardFrame& frame);
    /// Shows the hidden page (frames followed by silence). True when that changed the picture.
    bool Show();
    bool HasUnshown() const { return m_unshown; }

    /// The picture, framed so that padding shows: a border line, line 00 with the clock in its
    /// right corner, the body lines down to the last one written, a border line. UTF-8.
    std::vector<std::string> Picture() const;

private:
    struct Page {
        std::vector<std::string> lines;  // Latin-1; index = row
        std::string clock;
        bool operator==(const Page&) const = default;
    };

    Page m_hidden;
    Page m_shown;
    bool m_unshown = false;
};
