#pragma once

// Helpers shared by the team-scoring, non-scoring and people-file tests.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "foundation/KAlerts.h"
#include "settings/KRegistry.h"

/// A fresh folder under the system's temporary folder, removed with everything in it.
class ScoringTempDir {
public:
    ScoringTempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kestrun-scoring-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        m_path = pattern;
    }
    ~ScoringTempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    ScoringTempDir(const ScoringTempDir&) = delete;
    ScoringTempDir& operator=(const ScoringTempDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    std::filesystem::path Write(const std::string& name, const std::string& bytes) const {
        const auto path = m_path / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

private:
    std::filesystem::path m_path;
};

/// Records every alert and answers confirmations as told.
class ScoringFakeAlerts : public KAlerts {
public:
    void ShowError(const KString& title, const KString& text) override {
        errors.push_back(title + u"|" + text);
    }
    void ShowMessage(const KString& title, const KString& text) override {
        messages.push_back(title + u"|" + text);
    }
    bool Confirm(const KString& title, const KString& text, KAlertButtons, KAlertButton,
                 KAlertSymbol) override {
        questions.push_back(title + u"|" + text);
        return answer;
    }

    bool answer = true;
    std::vector<KString> errors;
    std::vector<KString> messages;
    std::vector<KString> questions;
};

/// The settings the scoring code reads, with their default values and texts.
inline void AddScoringDefaults(KRegistry& settings) {
    settings.AddTable({
        u"Scoring\\:=",
        u"Scoring\\MinRunners:Int=5",
        u"Scoring\\NumScorers:Int=5",
        u"Scoring\\MaxDisplacers:Int=2",
        u"Scoring\\ResetScores:Bool=1",
        u"Scoring\\LapsToGoDir:Bool=0",
        u"Scoring\\UnatDisplaces:Bool=1",
        u"Results\\:=",
        u"Results\\Unattached\\:=",
        u"Results\\Unattached\\NumDefaultUna:Int=3",
        u"Results\\Unattached\\1\\:=",
        u"Results\\Unattached\\1\\Name:String=UNA",
        u"Results\\Unattached\\2\\:=",
        u"Results\\Unattached\\2\\Name:String=Unattached",
        u"Results\\Unattached\\3\\:=",
        u"Results\\Unattached\\3\\Name:String=UNA-Unattached",
        u"Strings\\:=",
        u"Strings\\Options\\:=",
        u"Strings\\Options\\Results\\:=",
        u"Strings\\Options\\Results\\DefaultName:String=UNA",
        u"Strings\\Options\\Results\\DeleteAllNonS:String=Are you sure you want to delete all non-scoring "
        u"athletes?",
        u"Strings\\Alerts\\:=",
        u"Strings\\Alerts\\Error:String=Error",
        u"Strings\\Alerts\\Message:String=Message",
        u"Strings\\Alerts\\DelDefaultUna:String=The default non scoring affiliations cannot be deleted",
        u"Strings\\Event\\:=",
        u"Strings\\Event\\FinalizingPrep:String=Preparing to Finalize Data...",
        u"Strings\\Event\\Finalizing:String=Finalizing Data...",
    });
}
