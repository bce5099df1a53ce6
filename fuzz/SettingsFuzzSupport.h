#pragma once

// What the settings fuzz targets share: a scratch folder for the run, a tree preloaded
// with a few groups and settings, and the lines a tree writes.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "settings/KRegistry.h"

/// One folder for the whole run (memory-backed when the system offers it), removed at exit.
struct FuzzFolder {
    FuzzFolder() {
        std::error_code ec;
        const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", ec)
                                               ? "/dev/shm"
                                               : std::filesystem::temp_directory_path();
        std::string pattern = (base / "kestrun-fuzz-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) std::abort();
        path = pattern;
    }
    ~FuzzFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    FuzzFolder(const FuzzFolder&) = delete;
    FuzzFolder& operator=(const FuzzFolder&) = delete;

    static void WriteFile(const std::filesystem::path& file, const uint8_t* data, size_t size) {
        std::FILE* out = std::fopen(file.c_str(), "wb");
        if (out == nullptr) std::abort();
        if (size > 0 && std::fwrite(data, 1, size, out) != size) std::abort();
        std::fclose(out);
    }

    std::filesystem::path path;
};

inline void PreloadFuzzTree(KRegistry& tree) {
    tree.AddTable({u"General\\:=", u"General\\ActivityLog:Bool=0", u"General\\MainWindow\\:=",
                   u"General\\MainWindow\\Left:Int,1,-100,5000=10", u"Event\\:=", u"Event\\Results\\:=",
                   u"Event\\Results\\PaceDistance:Rat=0", u"Event\\Scale:Float,1,0.5,2=1", u"Sources\\:=",
                   u"Sources\\1\\:=", u"Sources\\1\\Name:String=Source", u"Language\\:=",
                   u"Language\\Choice:String=", u"Language\\Choices\\:=", u"Strings\\:=",
                   u"Strings\\Alerts\\:=", u"Strings\\Alerts\\Error:String=Error"});
}

inline std::vector<KString> TreeLines(const KRegistry& tree) {
    std::vector<KString> lines;
    tree.WriteTree([&lines](KStringView line) { lines.emplace_back(line); });
    return lines;
}
