// Walks the files and folders named for compression and turns them into archive members.
#include "common/source_tree.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <map>
#include <memory>
#include <utility>

#include "common/safe_path.h"

namespace arc {

namespace {

using DirectoryId = std::pair<dev_t, ino_t>;

SourceEntry entryFor(std::string diskPath, std::string memberName, const struct stat& info)
{
    SourceEntry entry;
    entry.diskPath = std::move(diskPath);
    entry.memberName = std::move(memberName);
    entry.isDirectory = S_ISDIR(info.st_mode);
    entry.size = entry.isDirectory ? 0 : static_cast<std::uint64_t>(info.st_size);
    entry.mtime = static_cast<std::int64_t>(info.st_mtim.tv_sec);
    entry.mode = static_cast<std::uint32_t>(info.st_mode & 07777);
    return entry;
}

std::string joinPath(const std::string& directory, const std::string& name)
{
    if (directory.empty())
        return name;
    if (directory.back() == '/')
        return directory + name;
    return directory + "/" + name;
}

std::string systemError(const std::string& what, const std::string& path, int error)
{
    return what + " " + path + ": " + std::strerror(error);
}

ArcResult systemFailure(ArcStatus status, const std::string& what, const std::string& path, int error)
{
    return ArcResult::failure(status, systemError(what, path, error), path, error);
}

const char* specialKind(mode_t mode)
{
    if (S_ISFIFO(mode))
        return "a FIFO";
    if (S_ISSOCK(mode))
        return "a socket";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    return nullptr;
}

// FIFOs, sockets and devices are not files to archive (reading a FIFO would block): each one
// is named, so the caller knows it is not in the archive.
ArcResult specialSkipped(const std::string& path, mode_t mode)
{
    return ArcResult::failure(ArcStatus::SpecialEntry, "skipped " + path + ": " + specialKind(mode) + ", not a file",
                              path);
}

// A folder's entry as the walk found it: `error` is 0 when `info` holds what it names, -1 for
// a dangling link, else why it could not be looked at.
struct Child {
    std::string name;
    struct stat info {};
    int error = 0;
};

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

// The entries of `directory`, sorted bytewise by name, without "." and "..". Each is looked
// up from the open folder (one name, not the whole path), and the folder is closed before the
// walk goes deeper, so a deep tree holds one descriptor at a time.
bool readChildren(const std::string& directory, std::vector<Child>& children, int& error)
{
    const std::unique_ptr<DIR, DirCloser> dir(opendir(directory.c_str()));
    if (!dir) {
        error = errno;
        return false;
    }
    errno = 0;
    while (const dirent* item = readdir(dir.get())) {
        const std::string_view name = item->d_name;
        if (name != "." && name != "..")
            children.push_back({std::string(name), {}, 0});
        errno = 0;
    }
    error = errno;
    std::sort(children.begin(), children.end(), [](const Child& a, const Child& b) { return a.name < b.name; });
    const int folder = dirfd(dir.get());
    for (Child& child : children) {
        if (fstatat(folder, child.name.c_str(), &child.info, 0) == 0)
            continue;
        child.error = errno;
        struct stat link;
        if (fstatat(folder, child.name.c_str(), &link, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(link.st_mode))
            child.error = -1;
    }
    return error == 0;
}

// Depth-first, parents before children. `ancestors` holds the directories on the current
// path, so a link back to one of them is listed but not entered (that would never end).
class FolderWalker {
public:
    FolderWalker(std::vector<SourceEntry>& out, const EntryFound& found) : out_(out), found_(found) {}

    void walk(const std::string& diskPath, const std::string& memberPrefix, const struct stat& info)
    {
        ancestors_.emplace_back(info.st_dev, info.st_ino);
        std::vector<Child> children;
        int error = 0;
        if (!readChildren(diskPath, children, error))
            mergeInto(result_, systemFailure(ArcStatus::InputMissing, "cannot read the folder", diskPath, error));
        for (const Child& entry : children) {
            const std::string childPath = joinPath(diskPath, entry.name);
            if (entry.error != 0) {
                if (entry.error > 0)
                    mergeInto(result_, systemFailure(ArcStatus::InputMissing, "cannot read", childPath, entry.error));
                continue;
            }
            const std::string childMember = memberPrefix.empty() ? entry.name : memberPrefix + "/" + entry.name;
            const struct stat& child = entry.info;
            if (S_ISREG(child.st_mode)) {
                add(entryFor(childPath, childMember, child));
            } else if (S_ISDIR(child.st_mode)) {
                add(entryFor(childPath, childMember, child));
                if (!isAncestor(child))
                    walk(childPath, childMember, child);
            } else if (specialKind(child.st_mode) != nullptr) {
                mergeInto(result_, specialSkipped(childPath, child.st_mode));
            }
        }
        ancestors_.pop_back();
    }

    ArcResult result() const { return result_; }

    void add(SourceEntry entry)
    {
        out_.push_back(std::move(entry));
        if (found_)
            found_(out_.back());
    }

private:
    bool isAncestor(const struct stat& info) const
    {
        return std::find(ancestors_.begin(), ancestors_.end(), DirectoryId(info.st_dev, info.st_ino)) !=
               ancestors_.end();
    }

    std::vector<SourceEntry>& out_;
    const EntryFound& found_;
    std::vector<DirectoryId> ancestors_;
    ArcResult result_;
};

// "N/*.*", "N/*" and "N" all name the folder N; "*.*" and "*" alone name the base itself.
std::string folderOfPattern(std::string_view pattern)
{
    for (const std::string_view wildcard : {"*.*", "*"}) {
        if (pattern == wildcard)
            return {};
        if (pattern.size() > wildcard.size() && pattern.ends_with(wildcard) &&
            pattern[pattern.size() - wildcard.size() - 1] == '/') {
            pattern.remove_suffix(wildcard.size() + 1);
            break;
        }
    }
    while (!pattern.empty() && pattern.back() == '/')
        pattern.remove_suffix(1);
    return std::string(pattern);
}

// Absolute and free of ".", ".." and doubled "/", without touching the file system except
// to resolve the parent directory's links when it exists.
std::string normalizedAbsolute(const std::string& path)
{
    std::string absolute = path;
    if (absolute.empty() || absolute.front() != '/') {
        char cwd[PATH_MAX];
        if (getcwd(cwd, sizeof cwd) != nullptr)
            absolute = joinPath(cwd, path);
    }
    const std::size_t slash = absolute.find_last_of('/');
    std::string parent = absolute.substr(0, slash);
    const std::string leaf = absolute.substr(slash + 1);
    if (char* resolved = realpath(parent.empty() ? "/" : parent.c_str(), nullptr)) {
        parent = resolved;
        free(resolved);
    }
    std::vector<std::string> parts;
    std::string joined = parent + "/" + leaf;
    std::size_t start = 0;
    while (start <= joined.size()) {
        std::size_t end = joined.find('/', start);
        if (end == std::string::npos)
            end = joined.size();
        const std::string part = joined.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string result;
    for (const std::string& part : parts)
        result += "/" + part;
    return result.empty() ? "/" : result;
}

}  // namespace

ArcResult collectFile(const std::string& path, std::vector<SourceEntry>& out)
{
    struct stat info;
    if (stat(path.c_str(), &info) != 0)
        return systemFailure(ArcStatus::InputMissing, "cannot find", path, errno);
    if (specialKind(info.st_mode) != nullptr)
        return specialSkipped(path, info.st_mode);
    if (!S_ISREG(info.st_mode))
        return ArcResult::failure(ArcStatus::InputMissing, "not a file: " + path, path);
    if (access(path.c_str(), R_OK) != 0)
        return systemFailure(ArcStatus::InputMissing, "cannot read", path, errno);
    std::string_view bare = path;
    if (const std::size_t slash = bare.find_last_of('/'); slash != std::string_view::npos)
        bare.remove_prefix(slash + 1);
    if (bare.empty())
        return ArcResult::failure(ArcStatus::InputMissing, "not a file: " + path, path);
    out.push_back(entryFor(path, std::string(bare), info));
    return ArcResult::success();
}

ArcResult collectFolder(const std::string& baseDirectory, const std::string& pattern, std::vector<SourceEntry>& out,
                        const EntryFound& found)
{
    const std::string folder = folderOfPattern(pattern);
    std::string memberRoot;
    if (!folder.empty()) {
        // The folder's name becomes the members' prefix, so it must not climb out or be absolute.
        // safeRelativePath() would turn "/etc" or "C:x" into a name below the base; here such a
        // pattern is a mistake to report, not a name to rescue.
        const bool absolute = folder.front() == '/' || (folder.size() >= 2 && folder[1] == ':');
        const std::optional<std::string> safe = safeRelativePath(folder, false);
        if (!safe || absolute)
            return ArcResult::failure(ArcStatus::BadCommand, "not a folder name below the base: " + pattern);
        memberRoot = *safe;
    }
    const std::string diskRoot = memberRoot.empty() ? baseDirectory : joinPath(baseDirectory, memberRoot);
    struct stat info;
    if (stat(diskRoot.c_str(), &info) != 0)
        return systemFailure(ArcStatus::InputMissing, "cannot find", diskRoot, errno);
    FolderWalker walker(out, found);
    if (!S_ISDIR(info.st_mode)) {
        if (S_ISREG(info.st_mode) && !memberRoot.empty()) {
            walker.add(entryFor(diskRoot, memberRoot, info));
            return ArcResult::success();
        }
        if (specialKind(info.st_mode) != nullptr)
            return specialSkipped(diskRoot, info.st_mode);
        return ArcResult::failure(ArcStatus::InputMissing, "not a folder: " + diskRoot, diskRoot);
    }
    if (!memberRoot.empty())
        walker.add(entryFor(diskRoot, memberRoot, info));
    walker.walk(diskRoot, memberRoot, info);
    return walker.result();
}

ArcResult excludeArchive(const std::string& archivePath, std::vector<SourceEntry>& entries)
{
    ArcResult skipped;
    auto skip = [&](const SourceEntry& entry) {
        mergeInto(skipped, ArcResult::failure(ArcStatus::ArchiveItself,
                                              "skipped " + entry.diskPath + ": the archive itself", entry.diskPath));
        return true;
    };
    struct stat archive;
    if (stat(archivePath.c_str(), &archive) == 0) {
        std::erase_if(entries, [&](const SourceEntry& entry) {
            struct stat info;
            return !entry.isDirectory && stat(entry.diskPath.c_str(), &info) == 0 && info.st_dev == archive.st_dev &&
                   info.st_ino == archive.st_ino && skip(entry);
        });
        return skipped;
    }
    // Only the parent folder is resolved, so only an entry of the archive's own file name can be
    // it: the others are passed over without resolving their folders (system calls per level).
    const std::string target = normalizedAbsolute(archivePath);
    const std::string_view targetName = std::string_view(target).substr(target.find_last_of('/') + 1);
    std::erase_if(entries, [&](const SourceEntry& entry) {
        const std::string_view path = entry.diskPath;
        return !entry.isDirectory && path.substr(path.find_last_of('/') + 1) == targetName &&
               normalizedAbsolute(entry.diskPath) == target && skip(entry);
    });
    return skipped;
}

ArcResult settleMemberNames(std::vector<SourceEntry>& entries, const std::vector<ExistingMember>& existing,
                            std::string (*memberKey)(const std::string& name))
{
    auto key = [&](const std::string& name) { return memberKey != nullptr ? memberKey(name) : name; };
    // Every name in the tree so far, explicit or implied by a deeper one: true for a folder.
    std::map<std::string, bool> folders;
    auto add = [&](const std::string& name, bool isDirectory) {
        for (std::size_t slash = name.find('/'); slash != std::string::npos; slash = name.find('/', slash + 1))
            folders.emplace(key(name.substr(0, slash)), true);
        folders.emplace(key(name), isDirectory);
    };
    for (const ExistingMember& member : existing)
        add(member.name, member.isDirectory);

    ArcResult skipped;
    auto clash = [&](const SourceEntry& entry, const std::string& why) {
        const std::string shown = entry.memberName + (entry.isDirectory ? "/" : "");
        mergeInto(skipped, ArcResult::failure(ArcStatus::NameClash, "skipped " + shown + ": " + why, entry.diskPath));
    };
    std::map<std::string, std::size_t> stored;  // key -> index in `kept`
    std::vector<SourceEntry> kept;
    kept.reserve(entries.size());
    for (SourceEntry& entry : entries) {
        const std::string& name = entry.memberName;
        bool parentIsFile = false;
        for (std::size_t slash = name.find('/'); slash != std::string::npos && !parentIsFile;
             slash = name.find('/', slash + 1)) {
            const auto found = folders.find(key(name.substr(0, slash)));
            if (found != folders.end() && !found->second) {
                clash(entry, name.substr(0, slash) + " is a file, not a folder");
                parentIsFile = true;
            }
        }
        if (parentIsFile)
            continue;
        const std::string own = key(name);
        const auto found = folders.find(own);
        if (found != folders.end() && found->second != entry.isDirectory) {
            clash(entry, found->second ? "a folder of that name comes first" : "a file of that name comes first");
            continue;
        }
        add(name, entry.isDirectory);
        if (const auto earlier = stored.find(own); earlier != stored.end()) {
            kept[earlier->second] = std::move(entry);
            continue;
        }
        stored.emplace(own, kept.size());
        kept.push_back(std::move(entry));
    }
    entries = std::move(kept);
    return skipped;
}

bool isSkipOnly(const ArcResult& result)
{
    for (const EntryFailure& failure : result.allFailures()) {
        if (failure.reason != ArcStatus::SpecialEntry && failure.reason != ArcStatus::ArchiveItself &&
            failure.reason != ArcStatus::NameClash)
            return false;
    }
    return true;
}

}  // namespace arc
