#include "app/TInstanceCounter.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

int OpenFile(const std::filesystem::path& path) {
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

bool Lock(int fd, int operation) {
    int result;
    do {
        result = ::flock(fd, operation);
    } while (result != 0 && errno == EINTR);
    return result == 0;
}

bool LockWithin(int fd, int operation, std::chrono::milliseconds wait) {
    const auto giveUp = std::chrono::steady_clock::now() + wait;
    for (;;) {
        if (Lock(fd, operation | LOCK_NB)) {
            return true;
        }
        if (errno != EWOULDBLOCK || std::chrono::steady_clock::now() >= giveUp) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

long long ReadCount(int fd) {
    char buffer[32];
    const ssize_t n = ::pread(fd, buffer, sizeof buffer - 1, 0);
    if (n <= 0) {
        return 0;
    }
    long long value = 0;
    for (ssize_t i = 0; i < n && buffer[i] >= '0' && buffer[i] <= '9'; ++i) {
        value = value * 10 + (buffer[i] - '0');
        if (value > INT_MAX) {
            return INT_MAX;
        }
    }
    return value;
}

void WriteCount(int fd, int count) {
    const std::string text = std::to_string(count) + "\n";
    if (::pwrite(fd, text.data(), text.size(), 0) == static_cast<ssize_t>(text.size())) {
        (void)::ftruncate(fd, static_cast<off_t>(text.size()));
    }
}

}  // namespace

TInstanceCounter::TInstanceCounter(const std::filesystem::path& folder, std::string_view name,
                                   std::chrono::milliseconds guardWait) {
    if (folder.empty()) {
        return;
    }
    const std::string base(name);
    const int guard = OpenFile(folder / (base + ".guard"));
    if (guard < 0) {
        return;
    }
    const bool guarded = LockWithin(guard, LOCK_EX, guardWait);
    {
        const int fd = OpenFile(folder / (base + ".lock"));
        if (fd >= 0) {
            if (Lock(fd, LOCK_EX | LOCK_NB)) {
                // Nobody holds the object: whatever count is stored is from copies that are gone.
                m_count = 1;
            } else {
                const long long previous = ReadCount(fd);
                m_count = previous >= INT_MAX ? INT_MAX : static_cast<int>(previous < 1 ? 2 : previous + 1);
            }
            WriteCount(fd, m_count);
            // Only guard holders ever lock exclusively, so with the guard this never waits; without
            // it, a newcomer stuck while counting must not hold this one up for ever.
            if (guarded ? Lock(fd, LOCK_SH) : LockWithin(fd, LOCK_SH, guardWait)) {
                m_fd = fd;
            } else {
                ::close(fd);
            }
        }
    }
    ::close(guard);
}

TInstanceCounter::~TInstanceCounter() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

std::filesystem::path DefaultRuntimeFolder() {
    if (const char* xdg = std::getenv("XDG_RUNTIME_DIR"); xdg != nullptr && xdg[0] == '/') {
        std::error_code error;
        if (std::filesystem::is_directory(xdg, error)) {
            return xdg;
        }
    }
    const uid_t uid = ::getuid();
    const std::filesystem::path folder = "/tmp/kestrun-" + std::to_string(uid);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        return {};
    }
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != uid ||
        (info.st_mode & 077) != 0) {
        return {};
    }
    return folder;
}
