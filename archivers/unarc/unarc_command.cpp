// The unarc32 command: an archive and a destination, extracted; or an archive, listed.
#include "unarc/unarc_command.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "common/command_line.h"
#include "unarc/archive_extractor.h"

namespace arc::unarc {
namespace {

ArcResult badCommand(std::string message)
{
    return ArcResult::failure(ArcStatus::BadCommand, std::move(message));
}

}  // namespace

ArcResult runUnarcCommand(std::string_view command)
{
    Job job;
    return runUnarcCommand(command, job);
}

ArcResult runUnarcCommand(std::string_view command, Job& job)
{
    static constexpr std::array<std::string_view, 9> kQuiet = {"-n", "-n1", "-q", "-v", "--i",
                                                               "-r", "-r2", "-x", "-x1"};
    std::string verb;
    std::vector<std::string> positional;
    for (const std::string& word : splitCommand(command)) {
        if (word.size() >= 2 && word[0] == '-') {
            if (std::find(kQuiet.begin(), kQuiet.end(), word) == kQuiet.end())
                return badCommand("unknown switch " + word);
        } else if (verb.empty()) {
            verb = word;
        } else {
            positional.push_back(word);
        }
    }
    if (verb == "l") {
        if (positional.size() != 1)
            return badCommand("l takes the archive alone");
        std::vector<std::string> names;
        ArcResult listed = listArchive(positional[0], names);
        for (const std::string& name : names)
            listed.message += name + "\n";
        return listed;
    }
    if (verb != "x")
        return badCommand(verb.empty() ? "no command given (x or l)" : "unknown command " + verb + " (x or l)");
    if (positional.size() < 2)
        return badCommand("expected an archive and a destination directory");
    if (positional[1].empty())
        return badCommand("the destination directory is empty");
    for (std::size_t i = 2; i < positional.size(); ++i) {
        if (positional[i] != "*.*" && positional[i] != "*")
            return badCommand("only \"*.*\" may follow the destination");
    }
    return extractArchive(positional[0], positional[1], job);
}

}  // namespace arc::unarc
