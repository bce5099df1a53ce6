#pragma once

// Turns a port specification into a stream of the kind its port code names.

#include <memory>
#include <vector>

#include "ports/KStream.h"

/// One user subsystem's prototypes (sources have theirs, scoreboards theirs), asked in
/// registration order. Owns them.
class KStreamPrototypes {
public:
    void Register(std::unique_ptr<KStream> prototype) { m_prototypes.push_back(std::move(prototype)); }
    const std::vector<std::unique_ptr<KStream>>& Prototypes() const { return m_prototypes; }

private:
    std::vector<std::unique_ptr<KStream>> m_prototypes;
};

/// `current` when it serves the specification's port code (unreadable counts as 0), else a
/// clone of the first prototype that does, else a plain stream; a replaced `current` is
/// destroyed (and so closed) first. The caller then opens the result with `spec`.
std::unique_ptr<KStream> MakeStream(const KStreamPrototypes& prototypes, KStringView spec,
                                    std::unique_ptr<KStream> current);
