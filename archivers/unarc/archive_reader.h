// libarchive's reader over a volume set, limited to the formats unarc32 reads, with each entry's
// names decoded by our rule.
#pragma once

#include <archive.h>
#include <locale.h>

#include <cstdint>
#include <optional>
#include <string>

#include "common/job.h"
#include "common/status.h"
#include "unarc/volume_source.h"

namespace arc::unarc {

enum class EntryType { File, Directory, Symlink, HardLink, Special };

struct EntryHeader {
    std::string name;  // UTF-8, decoded, as stored (not yet made safe); ends at a NUL byte
    EntryType type = EntryType::File;
    std::string linkTarget;             // Symlink: the target; HardLink: the name of the entry linked to
    std::uint32_t mode = 0;             // permission bits
    std::int64_t mtime = -1;            // Unix seconds, -1 when the entry has none
    std::optional<std::uint64_t> size;  // the data's declared size, when the format gives one
    bool sparse = false;                // the data comes in pieces with holes between them
    std::uint64_t holeBytes = 0;        // sparse: the declared size less the pieces' bytes
    bool encrypted = false;
};

struct DataBlock {
    const void* bytes = nullptr;
    std::size_t size = 0;
    std::uint64_t offset = 0;  // where the bytes go in the entry; a gap before it is a hole
};

// Formats: 7z, RAR 4, RAR 5, tar (ustar, gnu, pax, old), cpio, ISO 9660 (Rock Ridge, Joliet),
// CAB, xar and ZIP (for split sets); filters gzip, bzip2, xz, lzma, lzip, zstd, lz4 and
// compress, nested as libarchive finds them. Nothing else: no format that reads other files
// (mtree) and no filter that runs a program.
//
// Names: libarchive converts Unicode names (7z, RAR, Joliet, pax, xar, flagged ZIP and CAB) to
// the calling thread's locale, so each header is read under a UTF-8 locale set for this thread
// alone (uselocale) and only for that call: names come out as UTF-8 whatever the process's
// locale, and legacy names as their raw bytes. Those are then decoded by decodeLegacyName():
// valid UTF-8 as it is, else CP932, else Latin-1 (CP437 for ZIP).
//
// Passphrases: only ZIP entries can be decrypted; libarchive asks through job.passphrase()
// (attempt numbers per entry, the Job's remembered passphrase first) until the format's quick
// check passes, kMaxPassphraseAttempts times at most, and once a listener gives up it is not
// asked again in this archive. Other formats' encrypted entries come out with `encrypted` set.
//
// Threading: one reader on one thread; the job's listener is called on that thread.
class ArchiveReader {
public:
    static constexpr unsigned kMaxPassphraseAttempts = 20;

    ArchiveReader(VolumeSource& source, Job& job);
    ~ArchiveReader();
    ArchiveReader(const ArchiveReader&) = delete;
    ArchiveReader& operator=(const ArchiveReader&) = delete;

    // Finds the format. ArchiveCorrupt for bytes of no format we read, ArchiveUnreadable with
    // errno when the volumes cannot be read, UnsupportedMethod when the headers are encrypted.
    ArcResult open();

    enum class Step {
        Entry,    // `header` holds the next entry
        End,      // no more entries
        Skipped,  // this entry's header is unusable (`failure` says why); the next may be read
        Fatal,    // nothing more can be read (`failure` says why)
    };
    Step next(EntryHeader& header, ArcResult& failure);

    enum class Data {
        Block,   // `block` holds the entry's next bytes
        End,     // the entry's data is complete
        Failed,  // the entry's data is bad (`failure`); the next entry may be read
        Fatal,   // nothing more can be read (`failure`)
    };
    Data read(DataBlock& block, ArcResult& failure);

    // Whether a backslash in this format's names separates folders (formats from Windows).
    bool backslashSeparates() const;
    // Whether this format's encrypted entries can be decrypted here (ZIP).
    bool decrypts() const;

private:
    static const char* passphraseCallback(archive* handle, void* self);
    const char* nextPassphrase();
    ArcResult failure(const std::string& entry, const std::string& context) const;
    std::string decode(const char* raw) const;

    VolumeSource& source_;
    Job& job_;
    archive* handle_ = nullptr;
    locale_t utf8Names_ = nullptr;
    int format_ = 0;
    std::string entryName_;         // for the passphrase question
    unsigned attempts_ = 0;         // passphrases asked for the current entry
    bool passphraseGiven_ = false;  // for the current entry
    bool gaveUp_ = false;
    std::string passphrase_;  // libarchive copies it; kept until the next question
};

}  // namespace arc::unarc
