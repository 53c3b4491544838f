// Opening libarchive for the formats unarc32 reads, and reading headers and data from it.
#include "unarc/archive_reader.h"

#include <archive_entry.h>

#include <cerrno>

#include "common/name_charset.h"

namespace arc::unarc {
namespace {

// This thread's locale for one scope, the previous one put back at its end. uselocale() changes
// the calling thread only, so no other thread of the process sees it.
class ThreadLocale {
public:
    explicit ThreadLocale(locale_t locale) : previous_(locale != nullptr ? uselocale(locale) : nullptr) {}
    ~ThreadLocale()
    {
        if (previous_ != nullptr)
            uselocale(previous_);
    }
    ThreadLocale(const ThreadLocale&) = delete;
    ThreadLocale& operator=(const ThreadLocale&) = delete;

private:
    locale_t previous_;
};

locale_t newUtf8Locale()
{
    for (const char* name : {"C.UTF-8", "C.utf8", "en_US.UTF-8"}) {
        if (locale_t locale = newlocale(LC_CTYPE_MASK, name, static_cast<locale_t>(nullptr)))
            return locale;
    }
    return nullptr;
}

bool contains(const std::string& text, const char* part)
{
    return text.find(part) != std::string::npos;
}

using Support = int (*)(archive*);

constexpr Support kFormats[] = {
    archive_read_support_format_7zip, archive_read_support_format_rar,  archive_read_support_format_rar5,
    archive_read_support_format_tar,  archive_read_support_format_cpio, archive_read_support_format_iso9660,
    archive_read_support_format_cab,  archive_read_support_format_xar,  archive_read_support_format_zip,
};

// Each of these returns ARCHIVE_WARN when this libarchive would run an outside program instead.
constexpr Support kFilters[] = {
    archive_read_support_filter_gzip, archive_read_support_filter_bzip2,    archive_read_support_filter_xz,
    archive_read_support_filter_lzma, archive_read_support_filter_lzip,     archive_read_support_filter_zstd,
    archive_read_support_filter_lz4,  archive_read_support_filter_compress,
};

// libarchive's RAR 4 reader turns every 0x5C byte of a name stored without its Unicode form
// into "/", the second byte of a CP932 character (表, ソ, 能) included. Such a "/" right after a
// CP932 lead byte can only have been that second byte: a separator never follows a lead byte.
std::string restoreCp932SecondBytes(std::string name)
{
    for (std::size_t i = 0; i + 1 < name.size(); ++i) {
        const auto byte = static_cast<unsigned char>(name[i]);
        if ((byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC)) {
            if (name[i + 1] == '/')
                name[i + 1] = '\\';
            ++i;
        }
    }
    return name;
}

}  // namespace

ArchiveReader::ArchiveReader(VolumeSource& source, Job& job) : source_(source), job_(job), utf8Names_(newUtf8Locale())
{
}

ArchiveReader::~ArchiveReader()
{
    if (handle_ != nullptr)
        archive_read_free(handle_);
    if (utf8Names_ != nullptr)
        freelocale(utf8Names_);
}

ArcResult ArchiveReader::open()
{
    handle_ = archive_read_new();
    if (handle_ == nullptr)
        return ArcResult::failure(ArcStatus::NoMemory, "out of memory");
    // A format this libarchive was built without (xar needs an XML library) says so with a
    // warning and is simply not found.
    for (Support support : kFormats) {
        if (support(handle_) < ARCHIVE_WARN)
            return failure({}, "cannot prepare the reader");
    }
    for (Support support : kFilters) {
        if (support(handle_) != ARCHIVE_OK)
            return ArcResult::failure(
                ArcStatus::Internal,
                "this libarchive would run an outside program to decompress: " +
                    std::string(archive_error_string(handle_) ? archive_error_string(handle_) : ""));
    }
    archive_read_set_passphrase_callback(handle_, this, &ArchiveReader::passphraseCallback);
    source_.attach(handle_);
    int opened;
    {
        ThreadLocale names(utf8Names_);
        opened = archive_read_open1(handle_);
    }
    if (opened == ARCHIVE_OK)
        return ArcResult::success();
    return failure({}, "not an archive that can be read");
}

std::string ArchiveReader::decode(const char* raw) const
{
    if (raw == nullptr)
        return {};
    const int format = format_ & ARCHIVE_FORMAT_BASE_MASK;
    if (format == ARCHIVE_FORMAT_RAR && !isValidUtf8(raw))
        return decodeLegacyName(restoreCp932SecondBytes(raw), LastResort::Latin1);
    return decodeLegacyName(raw, format == ARCHIVE_FORMAT_ZIP ? LastResort::Cp437 : LastResort::Latin1);
}

ArchiveReader::Step ArchiveReader::next(EntryHeader& header, ArcResult& failed)
{
    header = EntryHeader{};
    attempts_ = 0;
    passphraseGiven_ = false;
    archive_entry* entry = nullptr;
    int status;
    const char* name = nullptr;
    const char* hardlink = nullptr;
    const char* symlink = nullptr;
    {
        ThreadLocale names(utf8Names_);
        status = archive_read_next_header(handle_, &entry);
        format_ = archive_format(handle_);
        if (entry != nullptr && status != ARCHIVE_EOF) {
            name = archive_entry_pathname(entry);
            hardlink = archive_entry_hardlink(entry);
            symlink = archive_entry_symlink(entry);
        }
        // Decoded inside: the strings may be converted on demand, under the same locale.
        header.name = decode(name);
        if (hardlink != nullptr && *hardlink != '\0') {
            header.type = EntryType::HardLink;
            header.linkTarget = decode(hardlink);
        } else if (symlink != nullptr) {
            header.linkTarget = decode(symlink);
        }
    }
    entryName_ = header.name;
    if (status == ARCHIVE_EOF)
        return Step::End;
    if (status == ARCHIVE_FATAL) {
        failed = failure(header.name, "cannot read on");
        return Step::Fatal;
    }
    if (status != ARCHIVE_OK && status != ARCHIVE_WARN) {
        failed = failure(header.name, "unusable header");
        return Step::Skipped;
    }
    if (header.type != EntryType::HardLink) {
        switch (archive_entry_filetype(entry)) {
        case AE_IFREG: header.type = EntryType::File; break;
        case AE_IFDIR: header.type = EntryType::Directory; break;
        case AE_IFLNK: header.type = EntryType::Symlink; break;
        default: header.type = EntryType::Special; break;
        }
    }
    header.mode = static_cast<std::uint32_t>(archive_entry_perm(entry)) & 0777;
    header.mtime = archive_entry_mtime_is_set(entry) ? static_cast<std::int64_t>(archive_entry_mtime(entry)) : -1;
    if (archive_entry_size_is_set(entry) && archive_entry_size(entry) >= 0)
        header.size = static_cast<std::uint64_t>(archive_entry_size(entry));
    header.sparse = archive_entry_sparse_count(entry) > 0;
    if (header.sparse && header.size) {
        std::uint64_t pieces = 0;
        la_int64_t offset = 0, length = 0;
        archive_entry_sparse_reset(entry);
        while (archive_entry_sparse_next(entry, &offset, &length) == ARCHIVE_OK)
            pieces += length > 0 ? static_cast<std::uint64_t>(length) : 0;
        header.holeBytes = *header.size > pieces ? *header.size - pieces : 0;
    }
    header.encrypted = archive_entry_is_data_encrypted(entry) != 0;
    return Step::Entry;
}

ArchiveReader::Data ArchiveReader::read(DataBlock& block, ArcResult& failed)
{
    const void* bytes = nullptr;
    size_t size = 0;
    la_int64_t offset = 0;
    const int status = archive_read_data_block(handle_, &bytes, &size, &offset);
    if (status == ARCHIVE_EOF)
        return Data::End;
    if (status == ARCHIVE_OK && offset >= 0) {
        block = DataBlock{bytes, size, static_cast<std::uint64_t>(offset)};
        return Data::Block;
    }
    failed = failure(entryName_, "cannot read its data");
    return status == ARCHIVE_FATAL ? Data::Fatal : Data::Failed;
}

bool ArchiveReader::backslashSeparates() const
{
    switch (format_ & ARCHIVE_FORMAT_BASE_MASK) {
    case ARCHIVE_FORMAT_7ZIP:
    case ARCHIVE_FORMAT_RAR:
    case ARCHIVE_FORMAT_RAR_V5:
    case ARCHIVE_FORMAT_CAB:
    case ARCHIVE_FORMAT_ZIP: return true;
    default: return false;
    }
}

bool ArchiveReader::decrypts() const
{
    return (format_ & ARCHIVE_FORMAT_BASE_MASK) == ARCHIVE_FORMAT_ZIP;
}

// libarchive words every problem as text; the read errors are known from the source itself.
ArcResult ArchiveReader::failure(const std::string& entry, const std::string& context) const
{
    const std::string where = entry.empty() ? source_.firstName() : "\"" + entry + "\"";
    if (const auto& read = source_.readFailure())
        return ArcResult::failure(ArcStatus::ArchiveUnreadable, where + ": could not read: " + read->message,
                                  entry.empty() ? read->volume : entry, read->systemError);
    const char* text = handle_ != nullptr ? archive_error_string(handle_) : nullptr;
    const std::string said = text != nullptr ? text : "unknown error";
    std::string message = where + ": " + context + ": " + said;
    ArcStatus status = ArcStatus::ArchiveCorrupt;
    if (handle_ != nullptr && archive_errno(handle_) == ENOMEM)
        status = ArcStatus::NoMemory;
    else if (contains(said, "Passphrase required"))
        status = passphraseGiven_ ? ArcStatus::WrongPassword : ArcStatus::PasswordRequired;
    else if (contains(said, "ncorrect passphrase"))
        status = ArcStatus::WrongPassword;
    else if (contains(said, "ncrypt")) {
        status = ArcStatus::UnsupportedMethod;
        message += " (encrypted, not supported: this format's encryption cannot be decrypted here)";
    } else if (contains(said, "CRC") || contains(said, "hecksum"))
        status = ArcStatus::CrcMismatch;
    else if (contains(said, "nsupported") || contains(said, "not supported") || contains(said, "codec"))
        status = ArcStatus::UnsupportedMethod;
    return ArcResult::failure(status, std::move(message), entry);
}

const char* ArchiveReader::passphraseCallback(archive* /*handle*/, void* self)
{
    try {
        return static_cast<ArchiveReader*>(self)->nextPassphrase();
    } catch (...) {
        return nullptr;
    }
}

const char* ArchiveReader::nextPassphrase()
{
    if (gaveUp_ || job_.cancelled() || attempts_ >= kMaxPassphraseAttempts)
        return nullptr;
    const std::optional<std::string> answer = job_.passphrase(source_.firstName(), entryName_, ++attempts_);
    if (!answer || answer->empty()) {
        gaveUp_ = true;
        return nullptr;
    }
    passphrase_ = *answer;
    passphraseGiven_ = true;
    return passphrase_.c_str();
}

}  // namespace arc::unarc
