#pragma once

#include <optional>
#include <string_view>

namespace prallwerk {

// The rule sets a world runs by. The classic rules are the demonstration's
// own and every world's default: docs/rules.md. The physical rules keep
// momentum, have friction, inertia and lever arms, resting contact and
// fixed bodies: docs/rules.md, "The physical rules".
enum class Rules { classic, physical };

// "classic" or "physical": how scene files and the page name them.
const char* rulesName(Rules rules);

// The rules of that name, or none.
std::optional<Rules> rulesNamed(std::string_view name);

}  // namespace prallwerk
