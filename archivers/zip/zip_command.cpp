// The zip32j command: words to collected sources to one archive update.
#include "zip/zip_commands.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "common/command_line.h"
#include "common/safe_path.h"
#include "common/source_tree.h"
#include "zip/archive_writer.h"
#include "zip/compression_head_start.h"

namespace arc::zip {
namespace {

ArcResult badCommand(std::string message)
{
    return ArcResult::failure(ArcStatus::BadCommand, std::move(message));
}

bool isSwitch(const std::string& word)
{
    return word.size() > 1 && word[0] == '-';
}

bool endsWith(const std::string& text, std::string_view suffix)
{
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool isEverything(const std::string& pattern)
{
    return pattern == "*.*" || pattern == "*";
}

std::string joinPath(const std::string& base, const std::string& name)
{
    if (base.empty() || base.back() == '/')
        return base + name;
    return base + "/" + name;
}

// "N/*.*", "N/*", "N/" and "N" all name the folder (or file) N.
std::string stripPattern(std::string item)
{
    for (std::string_view suffix : {std::string_view("/*.*"), std::string_view("/*")})
        if (endsWith(item, suffix))
            return item.substr(0, item.size() - suffix.size());
    while (item.size() > 1 && item.back() == '/')
        item.pop_back();
    return item;
}

struct ZipRequest {
    std::string archive;
    std::optional<std::string> base;
    std::vector<std::string> items;
    bool junkPaths = false;
    // libdeflate's level 5 is the lowest whose archives of the benchmark corpora (a source tree,
    // large binaries and logs) are no larger than Info-ZIP's -6, at about half 7-Zip -mx1's time.
    int level = 5;
};

ArcResult parseZip(std::string_view command, ZipRequest& request)
{
    std::vector<std::string> positional;
    for (const std::string& word : splitCommand(command)) {
        if (!isSwitch(word)) {
            positional.push_back(word);
            continue;
        }
        if (word == "-n1" || word == "--i")
            continue;
        for (std::size_t i = 1; i < word.size(); ++i) {
            const char c = word[i];
            if (c >= '0' && c <= '9')
                request.level = c - '0';
            else if (c == 'j')
                request.junkPaths = true;
            else if (c != 'r' && c != 'q' && c != 'v' && c != 'n')
                return badCommand("unknown switch " + word);
        }
    }
    if (positional.empty())
        return badCommand("no archive named");
    request.archive = positional[0];
    std::size_t next = 1;
    if (positional.size() > 1 && !positional[1].empty() && positional[1].back() == '/') {
        request.base = positional[1];
        next = 2;
    }
    request.items.assign(positional.begin() + static_cast<std::ptrdiff_t>(next), positional.end());
    if (request.items.empty())
        return badCommand("nothing to add to " + request.archive);
    return ArcResult::success();
}

// A plain file named relative to the base directory keeps that relative name.
ArcResult collectRelativeFile(const std::string& diskPath, const std::string& memberName, bool junkPaths,
                              std::vector<SourceEntry>& out, const EntryFound& found)
{
    std::vector<SourceEntry> entries;
    ArcResult result = collectFile(diskPath, entries);
    if (!result.ok())
        return result;
    if (!junkPaths) {
        const std::optional<std::string> safeName = safeRelativePath(memberName, false);
        if (!safeName)
            return badCommand("cannot store " + diskPath + " as " + memberName);
        for (SourceEntry& entry : entries)
            entry.memberName = *safeName;
    }
    for (SourceEntry& entry : entries) {
        out.push_back(std::move(entry));
        found(out.back());
    }
    return ArcResult::success();
}

ArcResult collectEverything(const std::string& base, bool junkPaths, std::vector<SourceEntry>& out,
                            const EntryFound& found)
{
    DIR* directory = ::opendir(base.c_str());
    if (directory == nullptr)
        return ArcResult::failure(ArcStatus::InputMissing, "cannot read folder " + base + ": " + std::strerror(errno),
                                  base, errno);
    std::vector<std::string> names;
    while (const dirent* item = ::readdir(directory)) {
        const std::string name = item->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(directory);
    std::sort(names.begin(), names.end());
    ArcResult total;
    for (const std::string& name : names) {
        struct stat info {};
        if (::stat(joinPath(base, name).c_str(), &info) != 0)
            continue;  // dangling link
        mergeInto(total, S_ISDIR(info.st_mode)
                             ? collectFolder(base, name, out, found)
                             : collectRelativeFile(joinPath(base, name), name, junkPaths, out, found));
    }
    return total;
}

ArcResult collectItem(const ZipRequest& request, const std::string& item, std::vector<SourceEntry>& out,
                      const EntryFound& found)
{
    if (request.base) {
        if (isEverything(item))
            return collectEverything(*request.base, request.junkPaths, out, found);
        const std::string name = stripPattern(item);
        const std::string diskPath = joinPath(*request.base, name);
        struct stat info {};
        if (::stat(diskPath.c_str(), &info) == 0 && !S_ISDIR(info.st_mode))
            return collectRelativeFile(diskPath, name, request.junkPaths, out, found);
        return collectFolder(*request.base, item, out, found);
    }
    const std::string path = stripPattern(item);
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        const std::size_t slash = path.find_last_of('/');
        if (slash == std::string::npos)
            return collectFolder("./", path, out, found);
        return collectFolder(path.substr(0, slash + 1), path.substr(slash + 1), out, found);
    }
    return collectRelativeFile(path, path, request.junkPaths, out, found);
}

}  // namespace

ArcResult runZipCommand(std::string_view command)
{
    Job job;
    return runZipCommand(command, job);
}

ArcResult runZipCommand(std::string_view command, Job& job)
{
    ZipRequest request;
    ArcResult result = parseZip(command, request);
    if (!result.ok())
        return result;
    WriterOptions options;
    options.level = request.level;
    CompressionHeadStart headStart({options.level, options.threads, options.wholeMemberLimit, options.inFlightBytes},
                                   job);
    const EntryFound found = [&headStart](const SourceEntry& entry) { headStart.offer(entry); };
    std::vector<SourceEntry> entries;
    ArcResult skipped;
    for (const std::string& item : request.items) {
        ArcResult collected = collectItem(request, item, entries, found);
        // Nothing is written when a named item is missing; a FIFO or the like is only left out.
        if (!isSkipOnly(collected))
            return collected;
        mergeInto(skipped, collected);
    }
    mergeInto(skipped, excludeArchive(request.archive, entries));
    if (entries.empty() && !skipped.ok())
        return skipped;
    ArcResult added = addToArchive(request.archive, entries, options, job, &headStart);
    mergeInto(added, skipped);
    return added;
}

}  // namespace arc::zip
