#include "BoardView.h"

#include <algorithm>

namespace {

// Board text is Latin-1; a terminal wants UTF-8. A byte the board cannot draw shows as a dot.
std::string ToDisplay(const std::string& latin1) {
    std::string out;
    for (const char c : latin1) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || (byte >= 0x7F && byte < 0xA0)) {
            out += '.';
        } else if (byte < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (byte >> 6));
            out += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return out;
}

}  // namespace

bool BoardView::Apply(const BoardFrame& frame) {
    switch (frame.kind) {
        case BoardFrame::Kind::kClear:
            m_hidden.lines.clear();
            break;
        case BoardFrame::Kind::kLine:
            if (m_hidden.lines.size() <= static_cast<size_t>(frame.row)) m_hidden.lines.resize(frame.row + 1);
            m_hidden.lines[frame.row] = frame.text;
            break;
        case BoardFrame::Kind::kClock:
            m_hidden.clock = frame.text;
            break;
        case BoardFrame::Kind::kShow:
            return Show();
    }
    m_unshown = true;
    return false;
}

bool BoardView::Show() {
    m_unshown = false;
    if (m_hidden == m_shown) return false;
    m_shown = m_hidden;
    return true;
}

std::vector<std::string> BoardView::Picture() const {
    const std::vector<std::string>& lines = m_shown.lines;
    size_t width = m_shown.clock.empty() ? 0 : m_shown.clock.size() + 1;
    for (const std::string& line : lines) width = std::max(width, line.size());
    std::vector<std::string> picture;
    const std::string border = "+" + std::string(width, '-') + "+";
    picture.push_back(border);
    for (size_t row = 0; row < std::max<size_t>(lines.size(), 1); ++row) {
        std::string line = row < lines.size() ? lines[row] : std::string();
        if (row == 0 && !m_shown.clock.empty()) {
            // The clock takes the title's right corner; a long title gives way.
            line.resize(width - m_shown.clock.size(), ' ');
            if (line.back() != ' ') line.back() = ' ';
            line += m_shown.clock;
        }
        line.resize(width, ' ');
        picture.push_back("|" + ToDisplay(line) + "|");
    }
    picture.push_back(border);
    return picture;
}
