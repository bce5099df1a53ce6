#pragma once

// The answering side of the local service that stands in for the program's
// DDE service: service "Kestrun", topic "System". Clients send one request per
// line and get one answer line:
//   CONNECT <service> <topic>  ->  ACCEPTED | REFUSED
//   EXECUTE <data>             ->  ACK | BUSY | NOT_PROCESSED
// Anything else is answered ERROR. Names compare without regard to case, as DDE
// names do. The transport (TZIpcServer) only moves lines; this class decides.

#include <string>
#include <string_view>

#include "foundation/KString.h"

class TIpcService {
public:
    static constexpr std::u16string_view kService = u"Kestrun";
    static constexpr std::u16string_view kTopic = u"System";
    /// Longest command kept; longer execute data is cut to this many characters.
    static constexpr size_t kMaxCommand = 511;
    /// Longest request line (bytes, without its line end) a client may send.
    static constexpr size_t kMaxLine = 4096;

    enum class Answer { Accepted, Refused, Ack, Busy, NotProcessed, Error };

    /// One client's state: the topic it is connected to, empty until a connect was accepted.
    struct Conversation {
        KString topic;
    };

    bool Connect(KStringView service, KStringView topic) const;
    /// Stores `data` as the pending command when the topic is ours and none is pending.
    Answer Execute(KStringView topic, KStringView data);

    /// Answers one request line (UTF-8, without its line end) of `conversation`.
    Answer HandleLine(Conversation& conversation, std::string_view line);
    static std::string_view AnswerText(Answer answer);

    bool HasPendingCommand() const { return m_hasPending; }
    const KString& PendingCommand() const { return m_pending; }
    /// Hands the pending command over and clears it, so the next execute is accepted again.
    KString TakePendingCommand();

private:
    KString m_pending;
    bool m_hasPending = false;
};
