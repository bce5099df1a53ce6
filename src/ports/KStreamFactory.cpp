#include "ports/KStreamFactory.h"

#include "ports/KPortSpec.h"

std::unique_ptr<KStream> MakeStream(const KStreamPrototypes& prototypes, KStringView spec,
                                    std::unique_ptr<KStream> current) {
    const int code = ReadPortCode(spec);
    if (current != nullptr && current->IsMine(code)) return current;
    // The old stream goes first: it may hold the very device the new one is to open.
    current.reset();
    for (const auto& prototype : prototypes.Prototypes()) {
        if (prototype->IsMine(code)) return prototype->Clone();
    }
    return std::make_unique<KStream>();
}
