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

std::string writeCrafted(const fs::path& path, int format, const std::vector<Crafted>& entries, int filter)
{
    archive* writer = archive_write_new();
    archive_write_set_format(writer, format);
    if (filter != 0)
        archive_write_add_filter(writer, filter);
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

void put16(std::string& out, std::uint32_t value)
{
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

void put32(std::string& out, std::uint32_t value)
{
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

std::uint32_t crcOf(const std::string& bytes)
{
    return static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

// A RAR 4 block: its header CRC is the low half of the CRC-32 of everything after it.
std::string block(const std::string& header)
{
    std::string out;
    put16(out, crcOf(header) & 0xFFFF);
    return out + header;
}

}  // namespace

std::string storedRar4(const std::string& name, const std::string& data)
{
    std::string archive("Rar!\x1A\x07\x00", 7);
    std::string main("\x73", 1);
    put16(main, 0);
    put16(main, 13);
    put16(main, 0);
    put32(main, 0);
    archive += block(main);
    std::string file("\x74", 1);
    put16(file, 0x8000);  // data follows
    put16(file, static_cast<std::uint32_t>(32 + name.size()));
    put32(file, static_cast<std::uint32_t>(data.size()));
    put32(file, static_cast<std::uint32_t>(data.size()));
    file += '\x02';  // Windows
    put32(file, crcOf(data));
    put32(file, 0x58210000);  // 2024-01-01, MS-DOS time
    file += '\x14';
    file += '\x30';  // stored
    put16(file, static_cast<std::uint32_t>(name.size()));
    put32(file, 0x20);
    archive += block(file + name) + data;
    std::string end("\x7B", 1);
    put16(end, 0x4000);
    put16(end, 7);
    return archive + block(end);
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

OverwriteAnswer ScriptedListener::exists(const ExistingFile& file)
{
    asked.push_back("exists:" + std::string(file.path));
    return answer;
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
