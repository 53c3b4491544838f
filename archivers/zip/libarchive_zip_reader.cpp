// Opening libarchive's ZIP reader, seekable or streamed, and naming its failures.
#include "zip/libarchive_zip_reader.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace arc::zip {

struct LibarchiveZipReader::Stream {
    int fd = -1;
    bool endServed = false;
    char buffer[1 << 16];

    ~Stream()
    {
        if (fd >= 0)
            ::close(fd);
    }

    static la_ssize_t read(archive* /*handle*/, void* self, const void** out)
    {
        auto& stream = *static_cast<Stream*>(self);
        *out = stream.buffer;
        ssize_t got;
        do {
            got = ::read(stream.fd, stream.buffer, sizeof stream.buffer);
        } while (got < 0 && errno == EINTR);
        if (got != 0 || stream.endServed)
            return got;
        stream.endServed = true;
        static constexpr char kEmptyEnd[22] = {'P', 'K', 5, 6};
        std::memcpy(stream.buffer, kEmptyEnd, sizeof kEmptyEnd);
        return sizeof kEmptyEnd;
    }
};

LibarchiveZipReader::LibarchiveZipReader() = default;
LibarchiveZipReader::~LibarchiveZipReader()
{
    close();
}

void LibarchiveZipReader::close()
{
    if (handle_ != nullptr)
        archive_read_free(handle_);
    handle_ = nullptr;
    stream_.reset();
}

std::string LibarchiveZipReader::errorText() const
{
    const char* text = handle_ != nullptr ? archive_error_string(handle_) : nullptr;
    return text != nullptr ? text : "unknown error";
}

ArcResult LibarchiveZipReader::open(const std::string& path, int fd, bool withoutEndRecord,
                                    archive_passphrase_callback* passphrase, void* passphraseData)
{
    close();
    handle_ = archive_read_new();
    if (handle_ == nullptr)
        return ArcResult::failure(ArcStatus::NoMemory, "out of memory");
    archive_read_support_format_zip(handle_);
    archive_read_set_passphrase_callback(handle_, passphraseData, passphrase);
    int opened;
    if (withoutEndRecord && fd >= 0) {
        stream_ = std::make_unique<Stream>();
        stream_->fd = ::dup(fd);
        if (stream_->fd < 0 || ::lseek(stream_->fd, 0, SEEK_SET) != 0) {
            const int error = errno;
            return ArcResult::failure(ArcStatus::ArchiveUnreadable, "cannot read " + path + ": " + std::strerror(error),
                                      path, error);
        }
        opened = archive_read_open(handle_, stream_.get(), nullptr, &Stream::read, nullptr);
    } else {
        // Large blocks: a tree of small members is read in a few hundred calls, not thousands.
        opened = archive_read_open_filename(handle_, path.c_str(), 1 << 20);
    }
    if (opened == ARCHIVE_OK)
        return ArcResult::success();
    // libarchive reports "not an archive it knows" as EILSEQ (its file-format errno).
    const int error = archive_errno(handle_);
    if (error == EILSEQ)
        return ArcResult::failure(ArcStatus::ArchiveCorrupt, path + ": " + errorText(), path);
    // Its own errors are negative; a positive one is the system's.
    return ArcResult::failure(ArcStatus::ArchiveUnreadable,
                              error > 0 ? "could not read " + path + ": " + std::strerror(error)
                                        : path + ": " + errorText(),
                              path, std::max(error, 0));
}

namespace {
bool contains(const std::string& text, const char* part)
{
    return text.find(part) != std::string::npos;
}
}  // namespace

ArcStatus classifyLibarchiveError(const std::string& text)
{
    if (contains(text, "CRC") || contains(text, "crc"))
        return ArcStatus::CrcMismatch;
    if (contains(text, "Passphrase required"))
        return ArcStatus::PasswordRequired;
    if (contains(text, "ncorrect passphrase"))
        return ArcStatus::WrongPassword;
    if (contains(text, "ncrypt") || contains(text, "nsupported") || contains(text, "not supported"))
        return ArcStatus::UnsupportedMethod;
    return ArcStatus::ArchiveCorrupt;
}

}  // namespace arc::zip
