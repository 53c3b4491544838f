// Splits a plug-in command string into words.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace arc {

// Words are separated by blanks or tabs; a double quote toggles quoting and is itself dropped,
// so "a b"c is the one word `a bc`. An empty pair of quotes gives an empty word. Commands are
// UTF-8 and are never reinterpreted byte by byte beyond these rules.
std::vector<std::string> splitCommand(std::string_view command);

}  // namespace arc
