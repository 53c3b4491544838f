// The unzip32 command: an archive and a destination, extracted; or an archive, listed.
#include <sys/stat.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/command_line.h"
#include "common/name_charset.h"
#include "zip/archive_extractor.h"
#include "zip/directory_survey.h"
#include "zip/zip_commands.h"

namespace arc::zip {
namespace {

ArcResult badCommand(std::string message)
{
    return ArcResult::failure(ArcStatus::BadCommand, std::move(message));
}

// The names as extraction decodes them (before it makes them safe), one per line, control
// characters escaped. Only a sound
// central directory is listed: a damaged archive gives no list rather than a partial one.
ArcResult listArchive(const std::string& archivePath)
{
    struct stat info {};
    if (::stat(archivePath.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return ArcResult::failure(ArcStatus::ArchiveUnreadable, "cannot open " + archivePath, archivePath);
    DirectorySurvey survey;
    const DirectoryStatus status = survey.load(archivePath);
    if (status == DirectoryStatus::ReadFailed && survey.readError() != 0)
        return ArcResult::failure(ArcStatus::ArchiveUnreadable,
                                  "could not read " + archivePath + ": " + std::strerror(survey.readError()),
                                  archivePath, survey.readError());
    if (status != DirectoryStatus::Ok)
        return ArcResult::failure(status == DirectoryStatus::ReadFailed ? ArcStatus::ArchiveUnreadable
                                                                        : ArcStatus::ArchiveCorrupt,
                                  archivePath + ": " + directoryStatusText(status), archivePath);
    ArcResult result;
    for (const SurveyedEntry& entry : survey.entries())
        result.message += escapedForListing(entry.name) + "\n";
    return result;
}

}  // namespace

ArcResult runUnzipCommand(std::string_view command)
{
    Job job;
    return runUnzipCommand(command, job);
}

ArcResult runUnzipCommand(std::string_view command, Job& job)
{
    std::vector<std::string> positional;
    bool list = false;
    for (const std::string& word : splitCommand(command)) {
        if (word.size() < 2 || word[0] != '-') {
            positional.push_back(word);
            continue;
        }
        if (word == "--i" || word == "-n1")
            continue;
        if (word.find_first_not_of("xvqonl", 1) != std::string::npos)
            return badCommand("unknown switch " + word);
        list = list || word.find('l') != std::string::npos;
    }
    if (list) {
        if (positional.size() != 1)
            return badCommand("-l takes the archive alone");
        return listArchive(positional[0]);
    }
    if (positional.size() != 2)
        return badCommand("expected an archive and a destination directory");
    if (positional[1].empty())
        return badCommand("the destination directory is empty");
    return extractArchive(positional[0], positional[1], job);
}

}  // namespace arc::zip
