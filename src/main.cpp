// Program entry: finds the program's folders on this system, builds the
// application object and runs it.

#include <QStandardPaths>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <system_error>

#include "app/TInstanceCounter.h"
#include "app/TZApplication.h"

namespace {

std::filesystem::path ProgramFile(const char* argv0) {
    std::error_code error;
    std::filesystem::path file = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error || file.empty()) {
        file = std::filesystem::absolute(argv0 != nullptr ? argv0 : "Kestrun", error);
    }
    return file;
}

std::filesystem::path DocumentsFolder() {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty()) {
        return documents.toStdString();
    }
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home != nullptr ? home : ".") / "Documents";
}

}  // namespace

int main(int argc, char** argv) {
    TZApplicationSetup setup;
    setup.programFile = ProgramFile(argc > 0 ? argv[0] : nullptr);
    setup.documentsFolder = DocumentsFolder();
    setup.runtimeFolder = DefaultRuntimeFolder();
    setup.setPriorities = true;
    TCommandLine commandLine(setup.programFile.string(), argc, argv);

    KZApplication::InstallTerminationHandlers();
    TZApplication application(argc, argv, std::move(commandLine), std::move(setup));
    try {
        return application.Run();
    } catch (const std::exception& error) {
        // Outside the main loop there is no one left to report to but the terminal.
        std::fprintf(stderr, "Kestrun: %s\n", error.what());
        return -1;
    }
}
