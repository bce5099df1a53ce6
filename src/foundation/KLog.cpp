#include "foundation/KLog.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <string>
#include <system_error>

#include "foundation/KError.h"

namespace {

std::string TimeStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[128];
    const size_t length = std::strftime(text, sizeof text, "%x %X", &local);
    return std::string(text, length);
}

char CategoryLetter(KLogCategory category) {
    switch (category) {
        case KLogCategory::Main:
            return 'M';
        case KLogCategory::Error:
            return 'E';
        case KLogCategory::Warning:
            return 'W';
        case KLogCategory::None:
            break;
    }
    return '\0';
}

}  // namespace

KLog::KLog(const std::filesystem::path& folder) : m_path(folder / kFileName) {
    std::error_code ec;
    if (!folder.empty()) {
        std::filesystem::create_directories(folder, ec);
        if (ec) throw KError(KErrorCode::kFileOpen, ec.value());
    }
    do {
        m_fd = ::open(m_path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    } while (m_fd < 0 && errno == EINTR);
    if (m_fd < 0) throw KError(KErrorCode::kFileOpen, errno);
}

KLog::~KLog() { Close(); }

void KLog::Close() {
    std::lock_guard lock(m_mutex);
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

bool KLog::IsOpen() const {
    std::lock_guard lock(m_mutex);
    return m_fd >= 0;
}

void KLog::Reset() {
    std::lock_guard lock(m_mutex);
    if (m_fd >= 0) (void)::ftruncate(m_fd, 0);  // appending writes then start at 0
}

void KLog::Write(KStringView text, KLogCategory category) {
    // The time stamp is taken under the lock so that stamps never run backwards in the file.
    std::lock_guard lock(m_mutex);
    if (m_fd < 0) return;
    std::string line;
    line.reserve(text.size() + 40);
    if (const char letter = CategoryLetter(category)) {
        line += letter;
        line += ": ";
    }
    line += TimeStamp();
    line += ": ";
    line += ToLatin1(text);
    line += "\r\n";
    const char* data = line.data();
    size_t left = line.size();
    while (left > 0) {
        const ssize_t written = ::write(m_fd, data, left);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;
        data += written;
        left -= static_cast<size_t>(written);
    }
}
