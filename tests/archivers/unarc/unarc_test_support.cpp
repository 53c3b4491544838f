// Source trees, snapshots and hand-made archives for the unarc tests.
#include "unarc_test_support.h"

#include <archive.h>
#include <archive_entry.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdlib>
#include <functional>
#include <random>

#include "unarc/archive_extractor.h"

namespace arc::testing {

void makeSourceTree(const fs::path& folder)
{
    writeFile(folder / "a.txt", "hello\n");
    writeFile(folder / "表示" / "ソフト.txt", "表示ソフト能力\n");
    std::mt19937 generator(21);
    std::string random(300000, '\0');
    for (char& c : random)
        c = static_cast<char>(generator() & 0xFF);
    writeFile(folder / "sub" / "deep" / "random.bin", random);
    writeFile(folder / "empty.txt", "");
    fs::create_directories(folder / "sub" / "empty");
    fs::create_symlink("a.txt", folder / "link");
    fs::create_hard_link(folder / "a.txt", folder / "hard.txt");
}

std::string shortened(const std::string& content)
{
    if (content.size() <= 64)
        return content;
    return std::to_string(content.size()) + " bytes #" + std::to_string(std::hash<std::string>{}(content));
}

std::map<std::string, std::string> snapshot(const fs::path& root)
{
    std::map<std::string, std::string> out;
    std::map<std::pair<dev_t, ino_t>, std::string> firstName;  // the names sorted: the first of each file
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(root, error); it != fs::recursive_directory_iterator();
         it.increment(error)) {
        const std::string relative = fs::relative(it->path(), root).string();
        struct stat info {};
        lstat(it->path().c_str(), &info);
        if (S_ISLNK(info.st_mode))
            out[relative] = "l:" + fs::read_symlink(it->path()).string();
        else if (S_ISDIR(info.st_mode))
            out[relative] = "d";
        else
            out[relative] = "f:" + shortened(readFile(it->path()));
        if (S_ISREG(info.st_mode) && info.st_nlink > 1) {
            std::string& first = firstName[{info.st_dev, info.st_ino}];
            if (first.empty() || relative < first)
                first = relative;
        }
    }
    for (auto& [name, value] : out) {
        struct stat info {};
        if (lstat((root / name).c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_nlink > 1)
            value += " =" + firstName[{info.st_dev, info.st_ino}];
    }
    return out;
}

std::vector<std::string> leftovers(const fs::path& root)
{
    std::vector<std::string> out;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(root, error); it != fs::recursive_directory_iterator();
         it.increment(error)) {
        if (it->path().filename().string().starts_with(".tembrel-"))
            out.push_back(it->path().string());
    }
    return out;
}

std::string writeCrafted(const fs::path& path, int format, const std::vector<Crafted>& entries)
{
    archive* writer = archive_write_new();
    archive_write_set_format(writer, format);
    std::string failure;
    if (archive_write_open_filename(writer, path.c_str()) != ARCHIVE_OK)
        failure = archive_error_string(writer);
    for (const Crafted& item : entries) {
        if (!failure.empty())
            break;
        archive_entry* entry = archive_entry_new();
        archive_entry_copy_pathname(entry, item.name.c_str());
        archive_entry_set_filetype(entry, item.type);
        archive_entry_set_perm(entry, item.type == S_IFDIR ? 0755 : 0644);
        archive_entry_set_mtime(entry, 1700000000, 0);
        if (!item.link.empty())
            archive_entry_copy_symlink(entry, item.link.c_str());
        if (!item.hardlink.empty())
            archive_entry_copy_hardlink(entry, item.hardlink.c_str());
        archive_entry_set_size(entry, static_cast<std::int64_t>(item.data.size()));
        if (archive_write_header(writer, entry) < ARCHIVE_WARN ||
            (!item.data.empty() && archive_write_data(writer, item.data.data(), item.data.size()) < 0))
            failure = archive_error_string(writer);
        archive_entry_free(entry);
    }
    if (archive_write_close(writer) != ARCHIVE_OK && failure.empty())
        failure = archive_error_string(writer);
    archive_write_free(writer);
    return failure;
}

namespace {

std::string littleEndian(std::uint64_t value, int bytes)
{
    std::string out;
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>(value >> (8 * i));
    return out;
}

// A RAR 4 block: its header CRC is the low half of the CRC-32 of everything after it.
std::string block(const std::string& header)
{
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(header.data()), static_cast<uInt>(header.size()));
    return littleEndian(crc & 0xFFFF, 2) + header;
}

}  // namespace

std::string storedRar4(const std::string& name, const std::string& data)
{
    const auto le = littleEndian;
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size()));
    // The marker, the main header, one file header (sizes, Windows, CRC-32, an MS-DOS time,
    // version 2.0, stored, the name) with its data, and the end.
    return std::string("Rar!\x1A\x07\x00", 7) + block("\x73" + le(0, 2) + le(13, 2) + le(0, 6)) +
           block("\x74" + le(0x8000, 2) + le(32 + name.size(), 2) + le(data.size(), 4) + le(data.size(), 4) + "\x02" +
                 le(crc, 4) + le(0x58210000, 4) + "\x14\x30" + le(name.size(), 2) + le(0x20, 4) + name) +
           data + block("\x7B" + le(0x4000, 2) + le(7, 2));
}

std::optional<std::string> ScriptedListener::passphrase(std::string_view, std::string_view entry, unsigned)
{
    asked.push_back("pass:" + std::string(entry));
    if (passphrases.empty())
        return std::nullopt;
    std::string next = passphrases.front();
    passphrases.erase(passphrases.begin());
    return next;
}

ArcResult extractWith(const fs::path& archive, const fs::path& destination, JobListener* listener)
{
    Job job(listener);
    ArcResult result = unarc::extractArchive(archive.string(), destination.string(), job);
    job.reportFailures(result);
    return result;
}

fs::path rarSamples()
{
    const fs::path samples = fs::path(TEMBREL_SOURCE_DIR) / ".." / "shared" / "samples" / "rar";
    if (fs::exists(samples / "rar.rar"))
        return samples;
    if (std::getenv("CI") != nullptr)
        ADD_FAILURE() << "the RAR samples are missing: " << samples;
    return {};
}

}  // namespace arc::testing
