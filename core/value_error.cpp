#include "prallwerk/core/value_error.h"

#include <cstdio>

namespace prallwerk {

std::string ValueError::message() const {
    // %.17g tells every double apart; the message is for people, so the C
    // library's own digits will do.
    char number[40];
    std::snprintf(number, sizeof number, "%.17g", value);
    std::string text;
    if (body >= 0) text = "body " + std::to_string(body) + ": ";
    return text + field + " = " + number + ": " + rule;
}

}  // namespace prallwerk
