#pragma once

// The settings tree: all configuration and every user-visible text of the program.
// Including this header gives every node class.

#include <vector>

#include "settings/KRBool.h"
#include "settings/KRFloat.h"
#include "settings/KRGroup.h"
#include "settings/KRInt.h"
#include "settings/KRNodeTypes.h"
#include "settings/KRRat.h"
#include "settings/KRString.h"

class KTextReader;
class KTextWriter;

/// The root group (empty name). Paths may start with a backslash or not:
/// `\General\ActivityLog` and `General\ActivityLog` address the same node.
/// No lock: changed on the main thread only (see the value classes for what other
/// threads may read).
class KRegistry : public KRGroup {
public:
    /// The first line of every file the tree writes.
    static constexpr KStringView kHeader = u"Registry Version: 1.00";

    KRegistry() = default;

    /// Merges each line in order, as Define.
    void AddTable(const std::vector<KString>& lines);

    /// Discards the first line (any header is accepted), then merges every further line;
    /// lines that do not merge are skipped. Throws KError(3004, errno) on a read error,
    /// keeping what was merged so far.
    void Load(KTextReader& reader);
    /// Writes the header line, then the root line `\:,1=` and every saved, not deleted
    /// node, parents before children. Throws KError(3005/3006, errno).
    void Save(KTextWriter& writer) const;
    /// The lines Save writes after the header, for callers that want them elsewhere.
    void WriteTree(const KRLineSink& sink) const { Write(KStringView(), sink); }
};
