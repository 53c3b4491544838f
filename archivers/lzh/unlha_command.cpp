// Turns unlha32 command words into collected sources and engine calls.
#include "lzh/unlha_command.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "common/command_line.h"
#include "common/name_charset.h"
#include "common/safe_path.h"
#include "common/source_tree.h"
#include "lzh/archive_reader.h"
#include "lzh/archive_writer.h"

namespace lzh {
namespace {

arc::ArcResult badCommand(std::string message)
{
    return arc::ArcResult::failure(arc::ArcStatus::BadCommand, std::move(message));
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

// "N/*.*", "N/*", "N/" and "N" all name N.
std::string stripPattern(std::string item)
{
    for (std::string_view suffix : {std::string_view("/*.*"), std::string_view("/*")})
        if (endsWith(item, suffix))
            return item.substr(0, item.size() - suffix.size());
    while (item.size() > 1 && item.back() == '/')
        item.pop_back();
    return item;
}

struct Request {
    std::string verb;
    std::vector<std::string> positional;
    Method method = Method::Lh5;
};

arc::ArcResult parse(std::string_view command, Request& request)
{
    static const std::vector<std::string> kQuiet = {"-n", "-n1", "-r", "-r2", "-x", "-x1", "-q", "-v", "--i"};
    for (const std::string& word : arc::splitCommand(command)) {
        if (word.size() < 2 || word[0] != '-') {
            if (request.verb.empty())
                request.verb = word;
            else
                request.positional.push_back(word);
            continue;
        }
        if (word == "-lh5" || word == "-lh5-")
            request.method = Method::Lh5;
        else if (word == "-lh6" || word == "-lh6-")
            request.method = Method::Lh6;
        else if (word == "-lh7" || word == "-lh7-")
            request.method = Method::Lh7;
        else if (word == "-lh0" || word == "-lh0-" || word == "-z")
            request.method = Method::Lh0;
        else if (std::find(kQuiet.begin(), kQuiet.end(), word) == kQuiet.end())
            return badCommand("unknown switch " + word);
    }
    if (request.verb.empty())
        return badCommand("no command given (a, x or l)");
    if (request.positional.empty())
        return badCommand("no archive named");
    return arc::ArcResult::success();
}

arc::ArcResult collectRelativeFile(const std::string& diskPath, const std::string& memberName,
                                   std::vector<arc::SourceEntry>& out)
{
    std::vector<arc::SourceEntry> found;
    arc::ArcResult r = arc::collectFile(diskPath, found);
    if (!r.ok())
        return r;
    const auto safeName = arc::safeRelativePath(memberName, false);
    if (!safeName)
        return badCommand("cannot store " + diskPath + " as " + memberName);
    for (arc::SourceEntry& e : found)
        e.memberName = *safeName;
    out.insert(out.end(), found.begin(), found.end());
    return arc::ArcResult::success();
}

arc::ArcResult collectEverything(const std::string& base, std::vector<arc::SourceEntry>& out)
{
    DIR* directory = ::opendir(base.c_str());
    if (directory == nullptr)
        return arc::ArcResult::failure(arc::ArcStatus::InputMissing,
                                       "cannot read folder " + base + ": " + std::strerror(errno), base, errno);
    std::vector<std::string> names;
    while (const dirent* item = ::readdir(directory)) {
        std::string name = item->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(directory);
    std::sort(names.begin(), names.end());
    arc::ArcResult total;
    for (const std::string& name : names) {
        struct stat info {};
        if (::stat(joinPath(base, name).c_str(), &info) != 0)
            continue;  // a dangling link
        arc::ArcResult r = S_ISDIR(info.st_mode) ? arc::collectFolder(base, name, out)
                                                 : collectRelativeFile(joinPath(base, name), name, out);
        if (!arc::isSkipOnly(r))
            return r;
        arc::mergeInto(total, r);
    }
    return total;
}

arc::ArcResult collectItem(const std::optional<std::string>& base, const std::string& item,
                           std::vector<arc::SourceEntry>& out)
{
    struct stat info {};
    if (base) {
        if (isEverything(item))
            return collectEverything(*base, out);
        const std::string name = stripPattern(item);
        const std::string diskPath = joinPath(*base, name);
        if (::stat(diskPath.c_str(), &info) == 0 && !S_ISDIR(info.st_mode))
            return collectRelativeFile(diskPath, name, out);
        return arc::collectFolder(*base, item, out);
    }
    const std::string path = stripPattern(item);
    if (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        const std::size_t slash = path.find_last_of('/');
        if (slash == std::string::npos)
            return arc::collectFolder("./", path, out);
        return arc::collectFolder(path.substr(0, slash + 1), path.substr(slash + 1), out);
    }
    return arc::collectFile(path, out);
}

arc::ArcResult runAdd(const Request& request, arc::Job& job)
{
    const std::string& archive = request.positional[0];
    std::optional<std::string> base;
    std::size_t next = 1;
    if (request.positional.size() > 1 && !request.positional[1].empty() && request.positional[1].back() == '/') {
        base = request.positional[1];
        next = 2;
    }
    if (next >= request.positional.size())
        return badCommand("nothing to add to " + archive);
    std::vector<arc::SourceEntry> entries;
    arc::ArcResult skipped;
    for (std::size_t i = next; i < request.positional.size(); ++i) {
        arc::ArcResult r = collectItem(base, request.positional[i], entries);
        // Nothing is written when a named item is missing; a FIFO or the like is only left out.
        if (!arc::isSkipOnly(r))
            return r;
        arc::mergeInto(skipped, r);
    }
    arc::mergeInto(skipped, arc::excludeArchive(archive, entries));
    if (entries.empty() && !skipped.ok())
        return skipped;
    WriteOptions options;
    options.method = request.method;
    arc::ArcResult added = addMembers(archive, entries, options, job);
    arc::mergeInto(added, skipped);
    return added;
}

arc::ArcResult runExtract(const Request& request, arc::Job& job)
{
    if (request.positional.size() < 2)
        return badCommand("no destination directory named");
    const std::string& destination = request.positional[1];
    if (destination.empty())
        return badCommand("the destination directory is empty");
    for (std::size_t i = 2; i < request.positional.size(); ++i)
        if (!isEverything(request.positional[i]))
            return badCommand("only \"*.*\" may follow the destination");
    return extractArchive(request.positional[0], destination, job);
}

arc::ArcResult runList(const Request& request)
{
    std::vector<std::string> paths;
    arc::ArcResult r = listArchive(request.positional[0], paths);
    if (!r.ok())
        return r;
    for (const std::string& p : paths)
        r.message += arc::escapedForListing(p) + "\n";
    return r;
}

}  // namespace

arc::ArcResult runUnlhaCommand(std::string_view command)
{
    arc::Job job;
    return runUnlhaCommand(command, job);
}

arc::ArcResult runUnlhaCommand(std::string_view command, arc::Job& job)
{
    Request request;
    arc::ArcResult r = parse(command, request);
    if (!r.ok())
        return r;
    if (request.verb == "a")
        return runAdd(request, job);
    if (request.verb == "x")
        return runExtract(request, job);
    if (request.verb == "l")
        return runList(request);
    return badCommand("unknown command " + request.verb + " (a, x or l)");
}

}  // namespace lzh
