#include "BoardMonitor.h"

#include <ostream>

BoardMonitor::BoardMonitor(BoardShow show, bool terminal, std::ostream& out)
    : m_show(show), m_terminal(terminal), m_out(out) {}

void BoardMonitor::Feed(std::string_view bytes) {
    m_bytes += bytes.size();
    if (m_show == BoardShow::kHex) return Print(m_hex.Feed(bytes));
    FeedBoard(bytes);
    if (m_show != BoardShow::kAuto) return;
    // One good frame says these are our video frames; a stretch without one says they are not.
    if (m_decoder.Frames() > 0) {
        m_show = BoardShow::kBoard;
        m_held.clear();
        return;
    }
    m_held.append(bytes);
    if (m_held.size() >= kDecideBytes) StartHex();
}

void BoardMonitor::Quiet() {
    switch (m_show) {
        case BoardShow::kAuto:
            if (!m_held.empty()) StartHex();
            break;
        case BoardShow::kBoard:
            if (m_view.HasUnshown() && m_view.Show()) Draw();
            break;
        case BoardShow::kHex:
            Print(m_hex.Flush());
            break;
    }
    m_out.flush();
}

void BoardMonitor::FeedBoard(std::string_view bytes) {
    bool changed = false;
    m_decoder.Feed(bytes, [&](const BoardFrame& frame) { changed |= m_view.Apply(frame); });
    if (changed) Draw();
}

void BoardMonitor::StartHex() {
    m_show = BoardShow::kHex;
    Print(m_hex.Feed(m_held));
    Print(m_hex.Flush());
    m_held.clear();
}

void BoardMonitor::Print(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) m_out << line << '\n';
    if (!lines.empty()) m_out.flush();
}

void BoardMonitor::Draw() {
    // Home and clear, then the picture: the board stays in one place on a terminal.
    if (m_terminal) m_out << "\x1b[H\x1b[2J";
    Print(m_view.Picture());
    if (m_terminal) {
        m_out << m_decoder.Frames() << " frames, " << m_decoder.Dropped() << " dropped, "
              << m_decoder.Skipped() << " bytes skipped" << std::endl;
    }
}
