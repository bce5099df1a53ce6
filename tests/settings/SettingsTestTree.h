#pragma once

// A small stand-in for the built-in default table, and what the settings tests share.

#include <gtest/gtest.h>

#include <vector>

#include "settings/KRegistry.h"
#include "support/KTempFolder.h"

inline void LoadTestDefaults(KRegistry& tree) {
    tree.AddTable({u"General\\:=", u"Event\\:=", u"Language\\:=", u"Strings\\:=",
                   u"General\\ActivityLog:Bool=0", u"General\\MainWindow\\:=",
                   u"General\\MainWindow\\Left:Int=10", u"General\\MainWindow\\Top:Int=10",
                   u"Event\\Results\\:=", u"Event\\Results\\PaceDistance:Rat=0", u"Language\\Choice:String=",
                   u"Language\\Choices\\:=", u"Strings\\Alerts\\:=", u"Strings\\Alerts\\Error:String=Error",
                   u"Strings\\Alerts\\OperationFailed:String=Operation failed", u"Strings\\Dialog\\:=",
                   u"Strings\\Dialog\\Ok:String=Ok", u"Strings\\Dialog\\Cancel:String=Cancel"});
    tree.AddTable({u"Sources\\:=", u"Sources\\1\\:=", u"Sources\\1\\Name:String=Source", u"Layout\\:=",
                   u"Layout\\GridVert:Int=3"});
}

/// A tree holding the stand-in defaults.
class SettingsTest : public ::testing::Test {
protected:
    SettingsTest() { LoadTestDefaults(tree); }
    KRegistry tree;
};

/// The lines the tree writes.
inline std::vector<KString> Lines(const KRegistry& registry) {
    std::vector<KString> lines;
    registry.WriteTree([&lines](KStringView line) { lines.emplace_back(line); });
    return lines;
}

/// Calls `visit(path, node)` for every node below `group`, parents first; `prefix` is the path of
/// `group`, and group paths end with a backslash.
template <typename Visit>
void Walk(const KRGroup& group, const KString& prefix, Visit&& visit) {
    for (const auto& child : group.Children()) {
        const KString path = prefix + child->Name() + (child->IsGroup() ? u"\\" : u"");
        visit(path, *child);
        if (child->IsGroup()) Walk(static_cast<const KRGroup&>(*child), path, visit);
    }
}
