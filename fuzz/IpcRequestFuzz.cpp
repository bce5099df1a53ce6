// Requests from local clients of the service that stands in for DDE, and
// command lines: any bytes are answered or split without failing, and the
// pending command never grows past its bound.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "app/TCommandLine.h"
#include "app/TIpcService.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    TIpcService service;
    TIpcService::Conversation conversation;
    size_t start = 0;
    while (start <= input.size()) {
        size_t end = input.find('\n', start);
        if (end == std::string_view::npos) {
            end = input.size();
        }
        const auto answer = service.HandleLine(conversation, input.substr(start, end - start));
        if (TIpcService::AnswerText(answer).empty() ||
            service.PendingCommand().size() > TIpcService::kMaxCommand) {
            std::abort();
        }
        if (answer == TIpcService::Answer::Busy && size > 0 && (data[0] & 1) != 0) {
            service.TakePendingCommand();
        }
        start = end + 1;
    }
    for (const auto& argument : TCommandLine::Split(input)) {
        if (argument.size() > input.size()) {
            std::abort();
        }
    }
    return 0;
}
