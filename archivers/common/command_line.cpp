// Splits a plug-in command string into words (blanks and tabs separate, double quotes group).
#include "common/command_line.h"

namespace arc {

std::vector<std::string> splitCommand(std::string_view command)
{
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;  // true once a word has begun, even if it is still empty ("")
    bool quoted = false;
    for (const char c : command) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if (!quoted && (c == ' ' || c == '\t')) {
            if (inWord)
                words.push_back(std::move(word));
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    // An unclosed quote runs to the end of the command: the word is kept as typed.
    if (inWord)
        words.push_back(std::move(word));
    return words;
}

}  // namespace arc
