// Any bytes as a people file, read both from memory and from a real file:
// every affiliation found is non-empty and loads into the non-scoring list.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "scoring/PeopleFile.h"
#include "scoring/StandaloneScorer.h"

namespace {

const std::filesystem::path& ScratchFile() {
    static const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                              ("kestrun-people-fuzz-" + std::to_string(::getpid()) + ".ppl");
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    for (const KString& affiliation : PeopleFile::AffiliationsOfText(FromLatin1(bytes))) {
        if (affiliation.empty()) std::abort();
    }

    std::ofstream(ScratchFile(), std::ios::binary | std::ios::trunc) << bytes;
    // Only the list's own settings: the whole default table per input would be slow.
    KRegistry settings;
    settings.AddTable({u"Results\\:=", u"Results\\Unattached\\:=",
                       u"Results\\Unattached\\NumDefaultUna:Int=3", u"Results\\Unattached\\1\\:=",
                       u"Results\\Unattached\\1\\Name:String=UNA", u"Results\\Unattached\\2\\:=",
                       u"Results\\Unattached\\2\\Name:String=Unattached", u"Results\\Unattached\\3\\:=",
                       u"Results\\Unattached\\3\\Name:String=UNA-Unattached"});
    SilentAlerts alerts;
    NonScoringAffiliations list(settings, alerts);
    list.Rebuild();
    const size_t added = list.Load(ScratchFile());
    if (list.Count() != 3 + added || list.Sequence().size() != 3 + added) std::abort();
    for (size_t i = 0; i < list.Count(); ++i) {
        if (!list.IsNonScoring(list.EntryName(i))) std::abort();
    }
    std::error_code ignored;
    std::filesystem::remove(ScratchFile(), ignored);
    return 0;
}
