// The unzip32 command: an archive and a destination, extracted.
#include <string>
#include <vector>

#include "common/command_line.h"
#include "zip/archive_extractor.h"
#include "zip/zip_commands.h"

namespace arc::zip {
namespace {

ArcResult badCommand(std::string message) { return ArcResult::failure(ArcStatus::BadCommand, std::move(message)); }

}  // namespace

ArcResult runUnzipCommand(std::string_view command) {
    Job job;
    return runUnzipCommand(command, job);
}

ArcResult runUnzipCommand(std::string_view command, Job& job) {
    std::vector<std::string> positional;
    for (const std::string& word : splitCommand(command)) {
        if (word.size() < 2 || word[0] != '-') {
            positional.push_back(word);
            continue;
        }
        if (word == "--i" || word == "-n1") continue;
        if (word.find_first_not_of("xvqon", 1) != std::string::npos) return badCommand("unknown switch " + word);
    }
    if (positional.size() != 2) return badCommand("expected an archive and a destination directory");
    if (positional[1].empty()) return badCommand("the destination directory is empty");
    return extractArchive(positional[0], positional[1], job);
}

}  // namespace arc::zip
