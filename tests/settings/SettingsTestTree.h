#pragma once

// A small stand-in for the built-in default table, and byte helpers for the files the
// settings layer reads and writes.

#include <string>
#include <vector>

#include "foundation/TempFolder.h"
#include "settings/KRegistry.h"

inline void LoadTestDefaults(KRegistry& tree) {
    tree.AddTable({
        u"General\\:=",
        u"Event\\:=",
        u"Language\\:=",
        u"Strings\\:=",
        u"General\\ActivityLog:Bool=0",
        u"General\\MainWindow\\:=",
        u"General\\MainWindow\\Left:Int=10",
        u"General\\MainWindow\\Top:Int=10",
        u"Event\\Results\\:=",
        u"Event\\Results\\PaceDistance:Rat=0",
        u"Language\\Choice:String=",
        u"Language\\Choices\\:=",
        u"Strings\\Alerts\\:=",
        u"Strings\\Alerts\\Error:String=Error",
        u"Strings\\Alerts\\OperationFailed:String=Operation failed",
        u"Strings\\Dialog\\:=",
        u"Strings\\Dialog\\Ok:String=Ok",
        u"Strings\\Dialog\\Cancel:String=Cancel",
    });
}

/// UTF-16 bytes of `text`, little- or big-endian, with the matching byte-order mark.
inline std::string Utf16Bytes(KStringView text, bool bigEndian = false) {
    std::string bytes = bigEndian ? std::string("\xFE\xFF") : std::string("\xFF\xFE");
    for (const KChar c : text) {
        const char low = static_cast<char>(c & 0xFF);
        const char high = static_cast<char>(c >> 8);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes;
}

/// The lines of a file written by the program (UTF-16LE with mark, or Latin-1), CR LF ends.
inline std::vector<KString> WrittenLines(const std::string& bytes) {
    KString text;
    if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
        for (size_t i = 2; i + 1 < bytes.size(); i += 2)
            text += static_cast<KChar>(static_cast<unsigned char>(bytes[i]) |
                                       (static_cast<unsigned char>(bytes[i + 1]) << 8));
    } else {
        text = FromLatin1(bytes);
    }
    std::vector<KString> lines;
    size_t start = 0;
    for (size_t end; (end = text.find(u"\r\n", start)) != KString::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    if (start < text.size()) lines.push_back(text.substr(start));  // a last line without CR LF
    return lines;
}
