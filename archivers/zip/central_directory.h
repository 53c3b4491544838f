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

// Serves small reads that come in ascending offsets (local headers, small members) from one
// large read of `source`: a tree of thousands of small members then costs a few reads, not one
// per member. Larger reads go straight to `source`. Not for two threads at once.
class WindowedSource final : public ByteSource {
public:
    explicit WindowedSource(const ByteSource& source) : source_(source) {}
    std::uint64_t size() const override { return source_.size(); }
    bool readAt(std::uint64_t offset, void* out, std::size_t length) const override;

private:
    static constexpr std::size_t kWindow = std::size_t{1} << 18;
    const ByteSource& source_;
    mutable std::vector<char> window_;
    mutable std::uint64_t start_ = 0;
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
    // How far the directory lies past where the end record says: a stub before the archive (a
    // self-extracting program) whose writer did not adjust the offsets, or padding inserted
    // between entries. Every member then lies up to this far past its recorded offset (see
    // DirectorySurvey). Records keep their offsets as stored.
    std::uint64_t shift = 0;
    // Readable, but not to be rewritten in place: shifted, or with bytes between the directory
    // and the end records.
    bool irregular = false;
};

// Checks everything the directory claims against the data actually present: the directory
// must end where the end records begin (or, failing that, start where the end record says,
// with a gap after it), every record must fit inside it and every local header offset, shifted
// as the directory is, must lie before it. A directory that ends where it should but starts
// later than the end record says is shifted (`shift`) when a central header is really there;
// anything else is Corrupt. Memory use is bounded by the source's size.
DirectoryStatus readCentralDirectory(const ByteSource& source, CentralDirectory& out);

// As readCentralDirectory(), but the records are those the directory's bytes hold, whatever
// count the end record declares (`declaredEntries`); for telling which entries a directory
// whose count does not add up lists. Every other check stays.
DirectoryStatus readCentralDirectoryAsFound(const ByteSource& source, CentralDirectory& out,
                                            std::uint64_t& declaredEntries);

}  // namespace arc::zip
