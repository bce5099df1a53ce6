#include "settings/KRNode.h"

#include "settings/KRGroup.h"

KRNode::~KRNode() = default;

KString KRNode::Path() const {
    KString path = m_parent != nullptr ? m_parent->Path() : KString();
    path += m_name;
    if (IsGroup()) path += u'\\';
    return path;
}

int KRNode::Depth() const {
    int depth = -1;
    for (const KRNode* node = m_parent; node != nullptr; node = node->m_parent) ++depth;
    return depth;
}

bool KRNode::IsNameChar(KChar c) {
    if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_')
        return true;
    // Accented Latin-1 letters, without the multiplication and division signs.
    return c >= 0xC0 && c <= 0xFF && c != 0xD7 && c != 0xF7;
}
