#pragma once
// A reason in words, in the interface's language: where a failure is shown (the upload log,
// a message box, a row's tooltip, lumar-cli's stderr), never where it travels.
#include <string>

#include "shell/language_table.h"
#include "shell/outcome.h"

namespace lumar {

// The text of `reason`'s code from `strings` with "%1", "%2", ... replaced by its arguments.
std::string ReasonText(const Reason& reason, const UiStrings& strings);

}  // namespace lumar
