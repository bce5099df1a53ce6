#include "scoring/EventFile.h"

#include <cerrno>
#include <fstream>
#include <system_error>
#include <vector>

#include "foundation/KAtomicFile.h"
#include "foundation/KBinaryData.h"
#include "foundation/KError.h"
#include "scoring/EventRecord.h"

std::filesystem::path EventFile::PathIn(const std::filesystem::path& documentsFolder) {
    return documentsFolder / "Velmar" / "Kestrun" / "Kestrun.dat";
}

void EventFile::Store(const EventRecord& event, const std::filesystem::path& file) {
    KBinaryWriter out;
    event.Store(out);
    KAtomicFile output(file);
    output.Write(out.Bytes().data(), out.Size());
    output.Commit();
}

bool EventFile::Load(EventRecord& event, const std::filesystem::path& file) {
    std::error_code error;
    if (!std::filesystem::exists(file, error)) return false;
    std::ifstream stream(file, std::ios::binary);
    if (!stream) {
        event.Clear();
        throw KError(KErrorCode::kFileOpen, errno);
    }
    const uintmax_t size = std::filesystem::file_size(file, error);
    if (error || size > kMaxFileSize) {
        event.Clear();
        throw KError(error ? KErrorCode::kFileRead : KErrorCode::kFileContents, error ? error.value() : -1);
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    stream.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (stream.gcount() != static_cast<std::streamsize>(bytes.size())) {
        event.Clear();
        throw KError(KErrorCode::kFileRead, errno);
    }
    KBinaryReader in(bytes);
    event.Load(in);
    return true;
}
