#pragma once

// What the application's tests share: alerts answered without a screen, and an argument
// vector for the Qt application each test builds.

#include <deque>
#include <string>
#include <vector>

#include "foundation/KAlerts.h"
#include "support/KTempFolder.h"

class FakeAlerts : public KAlerts {
public:
    struct Shown {
        std::string kind;  // "error", "message" or "confirm"
        KString title;
        KString text;
    };

    void ShowError(const KString& title, const KString& text) override {
        shown.push_back({"error", title, text});
    }
    void ShowMessage(const KString& title, const KString& text) override {
        shown.push_back({"message", title, text});
    }
    bool Confirm(const KString& title, const KString& text, KAlertButtons, KAlertButton,
                 KAlertSymbol) override {
        shown.push_back({"confirm", title, text});
        const bool answer = answers.empty() || answers.front();
        if (!answers.empty()) answers.pop_front();
        return answer;
    }

    std::vector<KString> Texts(const std::string& kind) const {
        std::vector<KString> texts;
        for (const Shown& s : shown)
            if (s.kind == kind) texts.push_back(s.text);
        return texts;
    }

    std::vector<Shown> shown;
    std::deque<bool> answers;  // Confirm answers in order; true once they run out
};

struct QtArguments {
    int argc = 1;
    char name[16] = "Kestrun";
    char* argv[2] = {name, nullptr};
};
