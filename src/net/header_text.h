#pragma once
// What may stand in a request's head line by line: the checks every writer of a head shares,
// so a value from a user's file can never end a line early or smuggle in a header.
#include <string_view>

namespace lumar::net {

// No control character but the tab: the text cannot end a header line.
bool IsSafeHeaderText(std::string_view text);
// An HTTP token (RFC 9110), as request methods and header names are made of; never empty.
bool IsHttpToken(std::string_view text);

}  // namespace lumar::net
