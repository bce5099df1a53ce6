#include "foundation/KAtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>
#include <system_error>
#include <utility>

#include "foundation/KError.h"

namespace {

int WriteErrorCode(int error) {
    return (error == ENOSPC || error == EDQUOT) ? KErrorCode::kDiskFull : KErrorCode::kFileWrite;
}

std::filesystem::path TempNameFor(const std::filesystem::path& path, unsigned value) {
    static const char kHex[] = "0123456789abcdef";
    std::string suffix = ".tmp";
    for (int i = 0; i < 8; ++i) suffix += kHex[(value >> (i * 4)) & 0xF];
    std::filesystem::path temp = path;
    temp.replace_filename("." + path.filename().string() + suffix);
    return temp;
}

}  // namespace

KAtomicFile::KAtomicFile(const std::filesystem::path& path) : m_path(path) {
    if (m_path.filename().empty()) throw KError(KErrorCode::kFileOpen, EISDIR);
    std::error_code ec;
    if (m_path.has_parent_path()) {
        std::filesystem::create_directories(m_path.parent_path(), ec);
        if (ec) throw KError(KErrorCode::kFileOpen, ec.value());
    }
    // The replacement keeps the permissions of the file it replaces; a new file
    // gets the usual 0666 less the umask.
    mode_t mode = 0666;
    struct stat info {};
    if (::stat(m_path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) mode = info.st_mode & 07777;

    std::random_device random;
    int error = EEXIST;
    for (int attempt = 0; attempt < 100 && m_fd < 0; ++attempt) {
        m_tempPath = TempNameFor(m_path, random());
        do {
            m_fd = ::open(m_tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        } while (m_fd < 0 && errno == EINTR);
        if (m_fd < 0) {
            error = errno;
            if (error != EEXIST) break;
        }
    }
    if (m_fd < 0) {
        m_tempPath.clear();
        throw KError(KErrorCode::kFileOpen, error);
    }
    if (mode != 0666) ::fchmod(m_fd, mode);  // best effort; the contents matter more
}

KAtomicFile::~KAtomicFile() { Discard(); }

KAtomicFile::KAtomicFile(KAtomicFile&& other) noexcept
    : m_path(std::move(other.m_path)),
      m_tempPath(std::exchange(other.m_tempPath, {})),
      m_fd(std::exchange(other.m_fd, -1)) {}

KAtomicFile& KAtomicFile::operator=(KAtomicFile&& other) noexcept {
    if (this != &other) {
        Discard();
        m_path = std::move(other.m_path);
        m_tempPath = std::exchange(other.m_tempPath, {});
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

void KAtomicFile::Discard() noexcept {
    if (m_fd >= 0) {
        ::close(m_fd);  // never retried: the descriptor is gone either way
        m_fd = -1;
    }
    if (!m_tempPath.empty()) {
        ::unlink(m_tempPath.c_str());
        m_tempPath.clear();
    }
}

void KAtomicFile::Fail(int code, int error) {
    Discard();
    throw KError(code, error);
}

void KAtomicFile::Write(const void* data, size_t size) {
    if (m_fd < 0) throw KError(KErrorCode::kFileWrite, EBADF);
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (size > 0) {
        const ssize_t written = ::write(m_fd, bytes, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            Fail(WriteErrorCode(errno), errno);
        }
        if (written == 0) Fail(KErrorCode::kFileWrite, EIO);
        bytes += written;
        size -= static_cast<size_t>(written);
    }
}

void KAtomicFile::Commit() {
    if (m_fd < 0) throw KError(KErrorCode::kFileWrite, EBADF);
    if (::fsync(m_fd) != 0) Fail(WriteErrorCode(errno), errno);
    const int fd = std::exchange(m_fd, -1);
    if (::close(fd) != 0) Fail(KErrorCode::kFileClose, errno);
    if (::rename(m_tempPath.c_str(), m_path.c_str()) != 0) Fail(KErrorCode::kFileClose, errno);
    m_tempPath.clear();
    // Make the rename itself durable; a failure here loses nothing already written.
    const std::filesystem::path folder = m_path.has_parent_path() ? m_path.parent_path() : ".";
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}
