#pragma once

// The registry of node types: one prototype per type, in the order Group, String, Int,
// Rat, Bool, Float, from which a line's type name creates a node.

#include <memory>
#include <vector>

#include "settings/KRNode.h"

class KRNodeTypes {
public:
    /// Called once at start-up before the tree is created, and at shutdown after it is
    /// destroyed. The table is a constant of the program, so both are safe to repeat and
    /// the parser works without them (tests and tools need not register).
    static void Register();
    static void Unregister();

    /// The prototypes, in registry order.
    static const std::vector<std::unique_ptr<KRNode>>& Prototypes();
    /// A fresh node of the type named `typeName` (compared without regard to case), or
    /// null when no type has that name.
    static std::unique_ptr<KRNode> Create(KStringView typeName);
};
