#include "settings/KRGroup.h"

#include <algorithm>
#include <limits>

#include "settings/KRBool.h"
#include "settings/KRFloat.h"
#include "settings/KRInt.h"
#include "settings/KRNodeTypes.h"
#include "settings/KRRat.h"
#include "settings/KRString.h"

KRGroup::~KRGroup() = default;

KRNode* KRGroup::Define(KStringView line) { return Parent() == nullptr ? Parse(line) : ParseInside(line); }

KRNode* KRGroup::Parse(KStringView line) {
    // A child group is offered lines that start with "name\"; the root (empty name) takes
    // an optional leading backslash.
    const size_t length = Name().size();
    if (line.size() > length && line[length] == u'\\' && StartsWithNoCase(line, Name()))
        line.remove_prefix(length + 1);
    return ParseInside(line);
}

KRNode* KRGroup::ParseInside(KStringView line) {
    if (!line.empty() && line.front() == u':') {
        line.remove_prefix(1);
        ParseTypePart(line.substr(0, line.find(u'=')));
        return this;  // a group's value part is ignored
    }
    if (line.empty() || !IsNameChar(line.front())) return this;
    for (const auto& child : m_children) {
        const KString& name = child->Name();
        if (name.empty() || !StartsWithNoCase(line, name)) continue;
        const bool followedByBackslash = line.size() > name.size() && line[name.size()] == u'\\';
        const bool matches = child->IsGroup() ? followedByBackslash
                                              : line.size() == name.size() ||
                                                    (!followedByBackslash && !IsNameChar(line[name.size()]));
        if (!matches) continue;
        if (KRNode* node = child->Parse(line)) return node;
    }
    return CreateChild(line);
}

KRNode* KRGroup::CreateChild(KStringView line) {
    const size_t colon = line.find(u':');
    if (colon == KStringView::npos || line.find(u'=', colon) == KStringView::npos) return nullptr;
    size_t backslash = line.find(u'\\');
    if (backslash > colon) backslash = KStringView::npos;
    if (backslash != KStringView::npos && backslash + 1 != colon) return nullptr;
    const bool isGroup = backslash != KStringView::npos;
    const KStringView name = line.substr(0, isGroup ? backslash : colon);
    if (name.empty() || !std::all_of(name.begin(), name.end(), IsNameChar)) return nullptr;
    // A group and a value may share a name (lookups tell them apart by the backslash), but
    // a second value or group of the same name could never be found: a value line that its
    // existing node refused does not create one.
    for (const auto& child : m_children) {
        if (child->IsGroup() == isGroup && EqualsNoCase(child->Name(), name)) return nullptr;
    }

    if (isGroup) {
        auto group = std::make_unique<KRGroup>();
        group->SetName(name);
        group->Parse(line);
        return Add(std::move(group));
    }
    size_t typeEnd = colon + 1;
    while (typeEnd < line.size() && IsNameChar(line[typeEnd]) && line[typeEnd] != u'_') ++typeEnd;
    std::unique_ptr<KRNode> node = KRNodeTypes::Create(line.substr(colon + 1, typeEnd - colon - 1));
    auto* value = dynamic_cast<KRValue*>(node.get());
    if (value == nullptr) return nullptr;  // unknown type, or "Group" on a value line
    value->SetName(name);
    const KRValue::ParseResult result = value->ParseLine(line);
    if (!result.typeAccepted || !result.valueAccepted) return nullptr;
    return Add(std::move(node));
}

void KRGroup::ParseTypePart(KStringView typePart) {
    const size_t comma = typePart.find(u',');
    const KStringView typeName = typePart.substr(0, comma);
    if (!typeName.empty() && m_groupTypeName.empty()) m_groupTypeName = KString(typeName);
    if (comma == KStringView::npos) return;
    KStringView numberField = typePart.substr(comma + 1);
    numberField = numberField.substr(0, numberField.find(u','));
    size_t pos = 0;
    const auto number = ParseInteger(numberField, pos);
    if (number && *number >= std::numeric_limits<int32_t>::min() &&
        *number <= std::numeric_limits<int32_t>::max())
        SetNumber(static_cast<int32_t>(*number));
}

template <class T>
static T* FindAs(KRGroup& group, KStringView path) {
    return dynamic_cast<T*>(group.Find(path));
}

KRGroup* KRGroup::FindGroup(KStringView path) { return FindAs<KRGroup>(*this, path); }
KRBool* KRGroup::FindBool(KStringView path) { return FindAs<KRBool>(*this, path); }
KRInt* KRGroup::FindInt(KStringView path) { return FindAs<KRInt>(*this, path); }
KRRat* KRGroup::FindRat(KStringView path) { return FindAs<KRRat>(*this, path); }
KRFloat* KRGroup::FindFloat(KStringView path) { return FindAs<KRFloat>(*this, path); }
KRString* KRGroup::FindString(KStringView path) { return FindAs<KRString>(*this, path); }

KString KRGroup::GetText(KStringView path) {
    const KRString* text = FindString(path);
    return text != nullptr ? text->Value() : KString();
}

KRNode* KRGroup::FindChild(KStringView name) const {
    for (const auto& child : m_children) {
        if (EqualsNoCase(child->Name(), name)) return child.get();
    }
    return nullptr;
}

KRNode* KRGroup::NextChild(const KRNode* after) const {
    auto it = m_children.begin();
    if (after != nullptr) {
        it = std::find_if(m_children.begin(), m_children.end(),
                          [after](const auto& c) { return c.get() == after; });
        if (it == m_children.end()) return nullptr;
        ++it;
    }
    return it == m_children.end() ? nullptr : it->get();
}

KRGroup* KRGroup::NextChildGroup(const KRNode* after) const {
    for (KRNode* node = NextChild(after); node != nullptr; node = NextChild(node)) {
        if (node->IsGroup()) return static_cast<KRGroup*>(node);
    }
    return nullptr;
}

KRGroup* KRGroup::ChildGroup(size_t index) const {
    for (const auto& child : m_children) {
        if (child->IsGroup() && index-- == 0) return static_cast<KRGroup*>(child.get());
    }
    return nullptr;
}

bool KRGroup::IsNumberName(KStringView name) {
    size_t pos = 0;
    return ParseInteger(name, pos).has_value() && pos == name.size();
}

size_t KRGroup::NumberedGroupCount() const {
    return static_cast<size_t>(std::count_if(m_children.begin(), m_children.end(), [](const auto& child) {
        return child->IsGroup() && IsNumberName(child->Name());
    }));
}

KRGroup* KRGroup::NumberedGroup(size_t index) const {
    for (const auto& child : m_children) {
        if (child->IsGroup() && IsNumberName(child->Name()) && index-- == 0)
            return static_cast<KRGroup*>(child.get());
    }
    return nullptr;
}

long long KRGroup::NextFreeNumber() const {
    long long largest = 0;
    for (const auto& child : m_children) {
        if (!child->IsGroup()) continue;
        size_t pos = 0;
        const auto number = ParseInteger(child->Name(), pos);
        if (number && pos == child->Name().size()) largest = std::max(largest, *number);
    }
    return largest + 1;
}

KRNode* KRGroup::Add(std::unique_ptr<KRNode> node) { return Insert(std::move(node), nullptr); }

KRNode* KRGroup::Insert(std::unique_ptr<KRNode> node, const KRNode* before) {
    if (!node) return nullptr;
    node->m_parent = this;
    auto it = std::find_if(m_children.begin(), m_children.end(),
                           [before](const auto& c) { return c.get() == before; });
    return m_children.insert(it, std::move(node))->get();
}

std::unique_ptr<KRNode> KRGroup::Remove(const KRNode* child) {
    auto it = std::find_if(m_children.begin(), m_children.end(),
                           [child](const auto& c) { return c.get() == child; });
    if (it == m_children.end()) return nullptr;
    std::unique_ptr<KRNode> node = std::move(*it);
    m_children.erase(it);
    node->m_parent = nullptr;
    return node;
}

void KRGroup::Clear() { m_children.clear(); }

void KRGroup::SetValueReadAll(bool read) {
    for (const auto& child : m_children) {
        child->SetValueRead(read);
        if (child->IsGroup()) static_cast<KRGroup*>(child.get())->SetValueReadAll(read);
    }
}

bool KRGroup::AnyValueRead() const {
    return std::any_of(m_children.begin(), m_children.end(), [](const auto& child) {
        return child->IsValueRead() ||
               (child->IsGroup() && static_cast<const KRGroup*>(child.get())->AnyValueRead());
    });
}

void KRGroup::Write(KStringView prefix, const KRLineSink& sink) const {
    KString path(prefix);
    path += Name();
    path += u'\\';
    sink(path + u':' + m_groupTypeName + u',' + ToKString(Number()) + u'=');
    for (const auto& child : m_children) {
        if (child->IsSaved() && !child->IsDeleted()) child->Write(path, sink);
    }
}
