#include "prallwerk/world/rules.h"

namespace prallwerk {

const char* rulesName(Rules rules) { return rules == Rules::physical ? "physical" : "classic"; }

std::optional<Rules> rulesNamed(std::string_view name) {
    if (name == "classic") return Rules::classic;
    if (name == "physical") return Rules::physical;
    return std::nullopt;
}

}  // namespace prallwerk
