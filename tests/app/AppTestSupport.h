#pragma once

// What the application's tests share: alerts answered without a screen, an argument vector for
// the Qt application each test builds, and a whole application run in folders of its own.

#include <gtest/gtest.h>

#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/TZApplication.h"
#include "foundation/KAlerts.h"
#include "support/KTempFolder.h"

class FakeAlerts : public KAlerts {
public:
    void ShowError(const KString& title, const KString& text) override { Add("error", title, text); }
    void ShowMessage(const KString& title, const KString& text) override { Add("message", title, text); }
    bool Confirm(const KString& title, const KString& text, KAlertButtons, KAlertButton,
                 KAlertSymbol) override {
        Add("confirm", title, text);
        return confirmed;
    }

    std::vector<std::string> shown;  // "kind|title|text", kind "error", "message" or "confirm"
    bool confirmed = true;           // what Confirm answers

    void Add(const std::string& kind, const KString& title, const KString& text) {
        shown.push_back(kind + "|" + ToUtf8(title) + "|" + ToUtf8(text));
    }
};

// The argument vector of every Qt application a test builds; Qt keeps it for the application's life.
inline int gQtArgc = 1;
inline char gQtName[] = "Kestrun";
inline char* gQtArgv[] = {gQtName, nullptr};

// An application whose hooks and idle passes a test can act in.
class TestApplication : public TZApplication {
public:
    using TZApplication::TZApplication;

    std::function<void(TestApplication&, const std::string&)> onHook;
    std::function<void(TestApplication&, int)> onIdle;
    bool WokenByDescriptor() const { return !WokenDescriptors().empty(); }

protected:
    void StartupHook(const std::string& name) override {
        TZApplication::StartupHook(name);
        if (onHook) onHook(*this, name);
    }
    bool Idle(int count) override {
        const bool again = TZApplication::Idle(count);
        if (onIdle) onIdle(*this, count);
        return again;
    }
};

// Program, documents and runtime folders of one run; the program folder holds the resource file.
class AppTest : public ::testing::Test {
protected:
    AppTest() {
        for (const std::filesystem::path& folder : {program, documents, runtime})
            std::filesystem::create_directories(folder);
        std::filesystem::copy_file(std::filesystem::path(KESTRUN_PROGRAM).parent_path() / "Kestrun.rcc",
                                   program / "Kestrun.rcc");
    }

    TestApplication& Make(KStringView locale = u"en_US", bool controlShiftHeld = false) {
        app.reset();  // one Qt application at a time
        alerts.shown.clear();
        const std::filesystem::path file = program / "Kestrun";
        app = std::make_unique<TestApplication>(
            gQtArgc, gQtArgv, TCommandLine(file.string(), "-noserialport"),
            TZApplicationSetup{file, documents, runtime, &alerts, false,
                               [controlShiftHeld] { return controlShiftHeld; }, KString(locale)});
        return *app;
    }

    /// Runs the program; once it runs, calls `whileRunning` and then, unless told not to,
    /// closes the main window as an operator would.
    int Run(std::function<void(TestApplication&)> whileRunning = {}, bool close = true) {
        if (!app) Make();
        app->onHook = [other = app->onHook, whileRunning, close](TestApplication& self,
                                                                 const std::string& name) {
            if (other) other(self, name);
            if (name != "LoadEvent") return;
            if (whileRunning) whileRunning(self);
            if (close) QTimer::singleShot(0, self.MainWindow(), [&self] { self.MainWindow()->close(); });
        };
        return app->Run();
    }

    KTempFolder root;
    std::filesystem::path program = root / "program";
    std::filesystem::path documents = root / "documents";
    std::filesystem::path runtime = root / "run";
    std::filesystem::path data = documents / "Velmar" / "Kestrun";
    FakeAlerts alerts;
    std::unique_ptr<TestApplication> app;
};
