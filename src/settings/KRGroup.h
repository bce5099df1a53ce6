#pragma once

#include <vector>

#include "settings/KRNode.h"

class KRBool;
class KRInt;
class KRRat;
class KRFloat;
class KRString;

/// A group of the settings tree: owns its children, in insertion order.
class KRGroup : public KRNode {
public:
    using Children_t = std::vector<std::unique_ptr<KRNode>>;

    KRGroup() = default;
    ~KRGroup() override;

    KStringView TypeName() const override { return u"Group"; }
    bool IsGroup() const override { return true; }
    /// Normally empty; written after the colon of the group's line.
    const KString& GroupTypeName() const { return m_groupTypeName; }
    void SetGroupTypeName(KStringView name) { m_groupTypeName = KString(name); }
    /// Outline state of the settings editor.
    bool IsExpanded() const { return m_expanded; }
    void SetExpanded(bool expanded) { m_expanded = expanded; }

    /// Merges one line relative to this group (for the root a leading backslash is
    /// allowed) and returns the node it addresses, or null. A plain path never creates
    /// anything; a line `path:Type=value` creates a missing last node or sets an existing
    /// one. Intermediate groups are never created implicitly.
    KRNode* Define(KStringView line);
    /// The same operation as Define: a lookup is a merge of a line without type and value.
    KRNode* Find(KStringView pathOrLine) { return Define(pathOrLine); }
    /// As Find, then null unless the node is of the asked class.
    KRGroup* FindGroup(KStringView path);
    KRBool* FindBool(KStringView path);
    KRInt* FindInt(KStringView path);
    KRRat* FindRat(KStringView path);
    KRFloat* FindFloat(KStringView path);
    KRString* FindString(KStringView path);
    /// The value of the String node at `path`, or "" when there is none.
    KString GetText(KStringView path);

    const Children_t& Children() const { return m_children; }
    size_t ChildCount() const { return m_children.size(); }
    /// Direct child by name, without regard to case; null when none.
    KRNode* FindChild(KStringView name) const;
    /// The child after `after` (the first child for null); null at the end.
    KRNode* NextChild(const KRNode* after) const;
    /// As NextChild, skipping children that are not groups.
    KRGroup* NextChildGroup(const KRNode* after) const;
    /// The i-th child group, from 0; null when there are fewer.
    KRGroup* ChildGroup(size_t index) const;

    /// Numbered collections (`Sources\1\`, `Sources\2\`...): the child groups whose name
    /// is an integer, in insertion order, whatever their numbers.
    size_t NumberedGroupCount() const;
    KRGroup* NumberedGroup(size_t index) const;
    /// One more than the largest number used by a numbered child group (1 when none).
    long long NextFreeNumber() const;
    /// Does `name` read as an integer, whole?
    static bool IsNumberName(KStringView name);

    /// Appends `node` and returns it; the group owns it.
    KRNode* Add(std::unique_ptr<KRNode> node);
    /// Inserts `node` before `before` (appends when `before` is null or not a child).
    KRNode* Insert(std::unique_ptr<KRNode> node, const KRNode* before);
    /// Detaches a child and hands it to the caller; null when it is not a child.
    std::unique_ptr<KRNode> Remove(const KRNode* child);
    /// Destroys all children.
    void Clear();

    /// The value-read flag of every node below this group.
    void SetValueReadAll(bool read);
    bool AnyValueRead() const;

    KRNode* Parse(KStringView line) override;
    void Write(KStringView prefix, const KRLineSink& sink) const override;
    std::unique_ptr<KRNode> CreateNew() const override { return std::make_unique<KRGroup>(); }

private:
    /// Merges a line from which this group's own path has been removed.
    KRNode* ParseInside(KStringView line);
    KRNode* CreateChild(KStringView line);
    void ParseTypePart(KStringView typePart);

    Children_t m_children;
    KString m_groupTypeName;
    bool m_expanded = false;
};
