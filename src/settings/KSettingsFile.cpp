#include "settings/KSettingsFile.h"

#include <system_error>

#include "foundation/KError.h"

std::filesystem::path SettingsFolder(const std::filesystem::path& documentsFolder) {
    return documentsFolder / "Velmar" / "Kestrun";
}

std::filesystem::path SettingsFilePath(const std::filesystem::path& documentsFolder) {
    return SettingsFolder(documentsFolder) / "Kestrun.cfg";
}

KSettingsLoadResult LoadSettingsFile(KRegistry& tree, const std::filesystem::path& documentsFolder) {
    KSettingsLoadResult result;
    const std::filesystem::path path = SettingsFilePath(documentsFolder);
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return result;
    const auto size = std::filesystem::file_size(path, ec);
    if (!ec && size < 1) return result;
    try {
        KTextReader reader(path, KCharMode::Detect);
        // Once the file is open it counts as read, even if reading fails later: the
        // start must not then behave as the first one and replace the user's choices.
        result.mode = reader.Mode();
        result.loaded = true;
        tree.Load(reader);
    } catch (const KError&) {
        result.ok = false;
        // The file is written back at exit; keep the one that could not be read whole
        // so what it held beyond the failure is not lost with it.
        std::filesystem::path backup = path;
        backup += ".bak";
        std::filesystem::rename(path, backup, ec);
        if (!ec) result.backup = backup;
    }
    return result;
}

bool SaveSettingsFile(KRegistry& tree, const std::filesystem::path& documentsFolder, KCharMode mode) {
    // Texts come from the default table and the language file at every start.
    if (KRGroup* strings = tree.FindGroup(u"Strings\\")) strings->SetSaved(false);
    return WriteTextFile(SettingsFilePath(documentsFolder), mode,
                         [&tree](KTextWriter& writer) { tree.Save(writer); });
}
