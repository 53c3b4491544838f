// Reads a ZIP archive's end records and central directory, as append and extraction need them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace arc::zip {

enum class DirectoryStatus {
    Ok,
    NoEndRecord,  // no end-of-central-directory record: not a ZIP archive, or cut short
    Truncated,    // a record points past the end of the data
    Corrupt,      // signatures, counts or sizes contradict each other
    MultiDisk,    // split archives are not supported
    ReadFailed,   // the bytes could not be read (I/O)
};

const char* directoryStatusText(DirectoryStatus status);

// Random access to the archive's bytes: a file or, for tests and fuzzing, memory.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t size() const = 0;
    // Reads exactly `length` bytes at `offset`. False when they are not all there (errno 0: the
    // data ends early) or could not be read (errno says why).
    virtual bool readAt(std::uint64_t offset, void* out, std::size_t length) const = 0;
};

class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}
    std::uint64_t size() const override { return bytes_.size(); }
    bool readAt(std::uint64_t offset, void* out, std::size_t length) const override;

private:
    std::string_view bytes_;
};

class FileSource final : public ByteSource {
public:
    FileSource(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
    std::uint64_t size() const override { return size_; }
    bool readAt(std::uint64_t offset, void* out, std::size_t length) const override;

private:
    int fd_;
    std::uint64_t size_;
};

struct CentralRecord {
    std::string raw;    // the record exactly as stored (header, name, extra, comment)
    std::string name;   // raw name bytes
    std::string extra;  // raw extra block
    std::uint16_t madeBy = 0;
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint32_t crc32 = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t uncompressedSize = 0;
    std::uint64_t localHeaderOffset = 0;
    std::uint32_t externalAttributes = 0;
};

struct CentralDirectory {
    std::vector<CentralRecord> records;
    std::uint64_t directoryOffset = 0;  // where the member data ends and the directory starts
    std::uint64_t directorySize = 0;
    std::string comment;  // the archive comment, kept when the directory is rewritten
};

// Checks everything the directory claims against the data actually present: the directory
// must end exactly where the end records begin, every record must fit inside it and every
// local header offset must lie before it. Memory use is bounded by the source's size.
DirectoryStatus readCentralDirectory(const ByteSource& source, CentralDirectory& out);

// As readCentralDirectory(), but the records are those the directory's bytes hold, whatever
// count the end record declares (`declaredEntries`); for telling which entries a directory
// whose count does not add up lists. Every other check stays.
DirectoryStatus readCentralDirectoryAsFound(const ByteSource& source, CentralDirectory& out,
                                            std::uint64_t& declaredEntries);

}  // namespace arc::zip
