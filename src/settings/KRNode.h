#pragma once

// Base of every node of the settings tree.

#include <cstdint>
#include <functional>
#include <memory>

#include "foundation/KString.h"

class KRGroup;

/// Receives the lines of a written subtree, one call per line, without line end.
using KRLineSink = std::function<void(KStringView line)>;

/// A named node of the settings tree. Owned by its parent group; the tree has no lock
/// and is changed on the main thread only.
class KRNode {
public:
    virtual ~KRNode();

    KRNode(const KRNode&) = delete;
    KRNode& operator=(const KRNode&) = delete;

    const KString& Name() const { return m_name; }
    /// Renaming is for owners that renumber their collections; the name must stay unique
    /// among its siblings.
    void SetName(KStringView name) { m_name = KString(name); }
    KRGroup* Parent() const { return m_parent; }
    /// Names from the root down joined by backslashes, with the root's leading backslash;
    /// a group's path ends with a backslash ("\General\MainWindow\"), so Find(Path()) finds it.
    KString Path() const;
    /// 0 for a child of the root, -1 for the root itself.
    int Depth() const;

    /// "Group", "Bool", "Int", "Rat", "Float" or "String".
    virtual KStringView TypeName() const = 0;
    virtual bool IsGroup() const { return false; }

    /// Kept and written back; nothing interprets it.
    int32_t Number() const { return m_number; }
    void SetNumber(int32_t number) { m_number = number; }

    /// A deleted node is still found and read, but it and its subtree are not written.
    bool IsDeleted() const { return m_deleted; }
    void SetDeleted(bool deleted) { m_deleted = deleted; }
    /// Cleared by owners of subtrees rebuilt at every start, which must never be written.
    bool IsSaved() const { return m_saved; }
    void SetSaved(bool saved) { m_saved = saved; }
    /// Set whenever a value was parsed into the node.
    bool IsValueRead() const { return m_valueRead; }
    void SetValueRead(bool read) { m_valueRead = read; }

    /// Merges a line that starts with this node's name (as offered by the parent group) and
    /// returns the node the line addresses, or null when the line does not merge.
    virtual KRNode* Parse(KStringView line) = 0;
    /// Writes this node's line (prefix + name + ...) and, for a group, its saved subtree.
    virtual void Write(KStringView prefix, const KRLineSink& sink) const = 0;
    /// A fresh node of the same class with default values (the type registry's prototypes).
    virtual std::unique_ptr<KRNode> CreateNew() const = 0;

    /// Letters (ASCII and accented Latin-1), digits and '_'.
    static bool IsNameChar(KChar c);

protected:
    KRNode() = default;

private:
    friend class KRGroup;

    KRGroup* m_parent = nullptr;
    KString m_name;
    int32_t m_number = 1;
    bool m_deleted = false;
    bool m_valueRead = false;
    bool m_saved = true;
};
