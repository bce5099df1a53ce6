#include "app/TIpcService.h"

bool TIpcService::Connect(KStringView service, KStringView topic) const {
    return EqualsNoCase(service, kService) && EqualsNoCase(topic, kTopic);
}

TIpcService::Answer TIpcService::Execute(KStringView topic, KStringView data) {
    if (!EqualsNoCase(topic, kTopic)) {
        return Answer::NotProcessed;
    }
    if (m_hasPending) {
        return Answer::Busy;
    }
    m_pending = KString(data.substr(0, kMaxCommand));
    m_hasPending = true;
    return Answer::Ack;
}

TIpcService::Answer TIpcService::HandleLine(Conversation& conversation, std::string_view line) {
    if (line.size() > kMaxLine) {
        return Answer::Error;
    }
    constexpr std::string_view kConnect = "CONNECT ";
    constexpr std::string_view kExecute = "EXECUTE";
    if (line.starts_with(kConnect)) {
        const std::string_view rest = line.substr(kConnect.size());
        const size_t blank = rest.find(' ');
        if (blank == std::string_view::npos || rest.find(' ', blank + 1) != std::string_view::npos) {
            return Answer::Error;
        }
        const KString service = FromUtf8(rest.substr(0, blank));
        const KString topic = FromUtf8(rest.substr(blank + 1));
        if (!Connect(service, topic)) {
            conversation.topic.clear();
            return Answer::Refused;
        }
        conversation.topic = topic;
        return Answer::Accepted;
    }
    if (line == kExecute || (line.starts_with(kExecute) && line[kExecute.size()] == ' ')) {
        if (conversation.topic.empty()) {
            return Answer::NotProcessed;
        }
        const std::string_view data = line.size() > kExecute.size() ? line.substr(kExecute.size() + 1) : "";
        return Execute(conversation.topic, FromUtf8(data));
    }
    return Answer::Error;
}

std::string_view TIpcService::AnswerText(Answer answer) {
    switch (answer) {
        case Answer::Accepted:
            return "ACCEPTED";
        case Answer::Refused:
            return "REFUSED";
        case Answer::Ack:
            return "ACK";
        case Answer::Busy:
            return "BUSY";
        case Answer::NotProcessed:
            return "NOT_PROCESSED";
        case Answer::Error:
            break;
    }
    return "ERROR";
}

KString TIpcService::TakePendingCommand() {
    KString command = std::move(m_pending);
    m_pending.clear();
    m_hasPending = false;
    return command;
}
