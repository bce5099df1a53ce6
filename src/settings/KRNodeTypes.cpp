#include "settings/KRNodeTypes.h"

#include "settings/KRBool.h"
#include "settings/KRFloat.h"
#include "settings/KRGroup.h"
#include "settings/KRInt.h"
#include "settings/KRRat.h"
#include "settings/KRString.h"

namespace {

std::vector<std::unique_ptr<KRNode>> MakePrototypes() {
    std::vector<std::unique_ptr<KRNode>> prototypes;
    prototypes.push_back(std::make_unique<KRGroup>());
    prototypes.push_back(std::make_unique<KRString>());
    prototypes.push_back(std::make_unique<KRInt>());
    prototypes.push_back(std::make_unique<KRRat>());
    prototypes.push_back(std::make_unique<KRBool>());
    prototypes.push_back(std::make_unique<KRFloat>());
    return prototypes;
}

}  // namespace

void KRNodeTypes::Register() { (void)Prototypes(); }

void KRNodeTypes::Unregister() {}

const std::vector<std::unique_ptr<KRNode>>& KRNodeTypes::Prototypes() {
    static const std::vector<std::unique_ptr<KRNode>> prototypes = MakePrototypes();
    return prototypes;
}

std::unique_ptr<KRNode> KRNodeTypes::Create(KStringView typeName) {
    for (const auto& prototype : Prototypes()) {
        if (EqualsNoCase(prototype->TypeName(), typeName)) return prototype->CreateNew();
    }
    return nullptr;
}
