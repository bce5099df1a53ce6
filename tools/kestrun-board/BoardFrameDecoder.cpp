#include "BoardFrameDecoder.h"

namespace {

constexpr char kSTX = 0x02;
constexpr char kETX = 0x03;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

void BoardFrameDecoder::Feed(std::string_view bytes, const Sink& sink) {
    for (const char c : bytes) {
        if (c == kSTX) {
            // A frame cut short: the board resynchronises on every STX.
            if (m_state != State::kBetween) Drop();
            m_state = State::kInFrame;
            m_frame.clear();
            continue;
        }
        switch (m_state) {
            case State::kBetween:
                if (c == '\n') {
                    m_out.kind = BoardFrame::Kind::kShow;
                    m_out.row = 0;
                    m_out.text.clear();
                    sink(m_out);
                } else if (c != '\r') {
                    ++m_skipped;
                }
                break;
            case State::kInFrame:
                if (c == kETX) {
                    Finish(sink);
                } else if (m_frame.size() == kMaxFrame) {
                    m_state = State::kOversized;
                } else {
                    m_frame += c;
                }
                break;
            case State::kOversized:
                if (c == kETX) Drop();
                break;
        }
    }
}

void BoardFrameDecoder::Finish(const Sink& sink) {
    m_state = State::kBetween;
    for (const char c : m_frame) {
        if (static_cast<unsigned char>(c) < 0x20) return Drop();
    }
    const std::string_view frame(m_frame);
    if (frame == "C") {
        m_out.kind = BoardFrame::Kind::kClear;
        m_out.row = 0;
        m_out.text.clear();
    } else if (frame.size() >= 3 && frame[0] == 'L' && IsDigit(frame[1]) && IsDigit(frame[2])) {
        m_out.kind = BoardFrame::Kind::kLine;
        m_out.row = (frame[1] - '0') * 10 + (frame[2] - '0');
        m_out.text.assign(frame.substr(3));
    } else if (!frame.empty() && frame[0] == 'K') {
        m_out.kind = BoardFrame::Kind::kClock;
        m_out.row = 0;
        m_out.text.assign(frame.substr(1));
    } else {
        return Drop();
    }
    ++m_frames;
    sink(m_out);
}

void BoardFrameDecoder::Drop() {
    m_state = State::kBetween;
    ++m_dropped;
}
