#include "settings/KRegistry.h"

#include "foundation/KTextFile.h"

void KRegistry::AddTable(const std::vector<KString>& lines) {
    for (const KString& line : lines) Define(line);
}

void KRegistry::Load(KTextReader& reader) {
    KString line;
    if (!reader.ReadLine(line)) return;
    while (reader.ReadLine(line)) Define(line);
}

void KRegistry::Save(KTextWriter& writer) const {
    writer.WriteLine(kHeader);
    WriteTree([&writer](KStringView line) { writer.WriteLine(line); });
}
