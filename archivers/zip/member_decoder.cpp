// Method dispatch for member data: libdeflate whole, ISA-L and Deflate64 streamed, libarchive for
// the methods only it decodes.
#include "zip/member_decoder.h"

#include <archive.h>
#include <isa-l/igzip_lib.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "zip/deflate64_inflater.h"
#include "zip/zip_format.h"

namespace arc::zip {
namespace {

constexpr std::size_t kBlockSize = std::size_t{1} << 18;

bool libarchiveDecodes(std::uint16_t method)
{
    return method == kMethodBzip2 || method == kMethodLzma || method == kMethodZstandard || method == kMethodXz ||
           method == kMethodPpmd;
}

// Counts, checksums and bounds what goes to the sink.
class CheckedSink {
public:
    CheckedSink(const ByteSink& sink, std::uint64_t maxSize, RawMemberResult& result)
        : sink_(sink), maxSize_(maxSize), result_(result)
    {
    }
    bool operator()(const unsigned char* data, std::size_t size)
    {
        if (size > maxSize_ - result_.size) {
            tooLong_ = true;
            return false;
        }
        result_.crc32 = libdeflate_crc32(result_.crc32, data, size);
        result_.size += size;
        if (size != 0 && !sink_(data, size)) {
            stopped_ = true;
            return false;
        }
        return true;
    }
    bool tooLong() const { return tooLong_; }
    bool stopped() const { return stopped_; }

private:
    const ByteSink& sink_;
    std::uint64_t maxSize_;
    RawMemberResult& result_;
    bool tooLong_ = false;
    bool stopped_ = false;
};

RawMemberStatus endOf(const CheckedSink& sink, RawMemberStatus otherwise)
{
    if (sink.tooLong())
        return RawMemberStatus::TooLong;
    return sink.stopped() ? RawMemberStatus::Stopped : otherwise;
}

RawMemberResult copyStored(const StreamedMember& member, const ByteInput& input, const ByteSink& sink)
{
    RawMemberResult result;
    CheckedSink checked(sink, member.size, result);
    const std::unique_ptr<unsigned char[]> buffer(new unsigned char[kBlockSize]);
    std::uint64_t remaining = member.compressedSize;
    while (remaining > 0) {
        const std::size_t got =
            input(buffer.get(), static_cast<std::size_t>(std::min<std::uint64_t>(kBlockSize, remaining)));
        if (got == 0) {
            result.status = RawMemberStatus::Truncated;
            return result;
        }
        remaining -= got;
        if (!checked(buffer.get(), got)) {
            result.status = endOf(checked, RawMemberStatus::Ok);
            return result;
        }
    }
    return result;
}

// Streamed deflate goes through ISA-L's inflater, which keeps pace with libdeflate where zlib
// takes twice to three times as long, and, unlike libdeflate, takes its input piece by piece.
RawMemberResult inflateStreamed(const StreamedMember& member, const ByteInput& input, const ByteSink& sink)
{
    RawMemberResult result;
    CheckedSink checked(sink, member.size, result);
    const auto state = std::make_unique<inflate_state>();
    isal_inflate_init(state.get());
    state->crc_flag = IGZIP_DEFLATE;
    const std::unique_ptr<unsigned char[]> in(new unsigned char[kBlockSize]);
    const std::unique_ptr<unsigned char[]> out(new unsigned char[kBlockSize]);
    std::uint64_t remaining = member.compressedSize;
    while (state->block_state != ISAL_BLOCK_FINISH) {
        if (state->avail_in == 0) {
            const std::size_t got =
                remaining == 0
                    ? 0
                    : input(in.get(), static_cast<std::size_t>(std::min<std::uint64_t>(kBlockSize, remaining)));
            if (got == 0) {
                result.status = RawMemberStatus::Truncated;
                break;
            }
            remaining -= got;
            state->next_in = in.get();
            state->avail_in = static_cast<std::uint32_t>(got);
        }
        state->next_out = out.get();
        state->avail_out = static_cast<std::uint32_t>(kBlockSize);
        if (isal_inflate(state.get()) != ISAL_DECOMP_OK) {
            result.status = RawMemberStatus::BadData;
            break;
        }
        if (!checked(out.get(), kBlockSize - state->avail_out)) {
            result.status = endOf(checked, RawMemberStatus::Ok);
            break;
        }
    }
    return result;
}

RawMemberResult inflateDeflate64(const StreamedMember& member, const ByteInput& input, const ByteSink& sink)
{
    RawMemberResult result;
    CheckedSink checked(sink, member.size, result);
    std::uint64_t remaining = member.compressedSize;
    const auto bounded = [&](unsigned char* buffer, std::size_t capacity) -> std::size_t {
        const std::size_t got =
            remaining == 0 ? 0 : input(buffer, static_cast<std::size_t>(std::min<std::uint64_t>(capacity, remaining)));
        remaining -= got;
        return got;
    };
    Deflate64Inflater inflater;
    switch (inflater.inflate(bounded, std::ref(checked))) {
    case InflateStatus::Ok: break;
    case InflateStatus::BadData: result.status = RawMemberStatus::BadData; break;
    case InflateStatus::Truncated: result.status = RawMemberStatus::Truncated; break;
    case InflateStatus::Stopped: result.status = endOf(checked, RawMemberStatus::Stopped); break;
    }
    return result;
}

// libarchive's streaming ZIP reader is handed one made-up local header (the member's method and
// sizes, no encryption, no data descriptor), the member's bytes and an empty end record. It
// checks no CRC (we do, on what it hands over).
class LibarchiveFeed {
public:
    LibarchiveFeed(const StreamedMember& member, const ByteInput& input)
        : input_(input), remaining_(member.compressedSize)
    {
        const bool zip64 = member.compressedSize >= kMax32 || member.size >= kMax32;
        append32(header_, kLocalHeaderSignature);
        append16(header_, 63);
        append16(header_, member.flags & 0x0002);  // LZMA: the stream ends with an end marker
        append16(header_, member.method);
        append32(header_, 0);  // time and date
        append32(header_, 0);  // CRC-32, not checked
        append32(header_, zip64 ? kMax32 : static_cast<std::uint32_t>(member.compressedSize));
        append32(header_, zip64 ? kMax32 : static_cast<std::uint32_t>(member.size));
        append16(header_, 1);
        append16(header_, zip64 ? 20 : 0);
        header_.push_back('m');
        if (zip64) {
            append16(header_, kExtraZip64);
            append16(header_, 16);
            append64(header_, member.size);
            append64(header_, member.compressedSize);
        }
    }

    static la_ssize_t read(archive* /*handle*/, void* self, const void** out)
    {
        return static_cast<LibarchiveFeed*>(self)->next(out);
    }

    bool inputEndedEarly() const { return endedEarly_; }

private:
    la_ssize_t next(const void** out)
    {
        if (!headerServed_) {
            headerServed_ = true;
            *out = header_.data();
            return static_cast<la_ssize_t>(header_.size());
        }
        if (remaining_ > 0) {
            const std::size_t got =
                input_(buffer_.data(), static_cast<std::size_t>(std::min<std::uint64_t>(buffer_.size(), remaining_)));
            if (got > 0) {
                remaining_ -= got;
                *out = buffer_.data();
                return static_cast<la_ssize_t>(got);
            }
            endedEarly_ = true;
            remaining_ = 0;
        }
        if (endServed_)
            return 0;
        endServed_ = true;
        static constexpr char kEmptyEnd[kEndSize] = {'P', 'K', 5, 6};
        *out = kEmptyEnd;
        return sizeof kEmptyEnd;
    }

    const ByteInput& input_;
    std::uint64_t remaining_;
    std::string header_;
    std::vector<unsigned char> buffer_ = std::vector<unsigned char>(std::size_t{1} << 16);
    bool headerServed_ = false;
    bool endServed_ = false;
    bool endedEarly_ = false;
};

RawMemberResult decodeWithLibarchive(const StreamedMember& member, const ByteInput& input, const ByteSink& sink)
{
    RawMemberResult result;
    CheckedSink checked(sink, member.size, result);
    LibarchiveFeed feed(member, input);
    archive* handle = archive_read_new();
    if (handle == nullptr) {
        result.status = RawMemberStatus::BadData;
        return result;
    }
    archive_read_support_format_zip_streamable(handle);
    archive_read_set_options(handle, "zip:ignorecrc32=1");
    archive_entry* entry = nullptr;
    if (archive_read_open(handle, &feed, nullptr, &LibarchiveFeed::read, nullptr) != ARCHIVE_OK ||
        archive_read_next_header(handle, &entry) != ARCHIVE_OK) {
        result.status = RawMemberStatus::BadData;
    } else {
        for (;;) {
            const void* block = nullptr;
            size_t size = 0;
            la_int64_t offset = 0;
            const int status = archive_read_data_block(handle, &block, &size, &offset);
            if (status == ARCHIVE_EOF)
                break;
            if (status != ARCHIVE_OK) {
                result.status = RawMemberStatus::BadData;
                break;
            }
            if (offset < 0 || static_cast<std::uint64_t>(offset) != result.size) {
                result.status = RawMemberStatus::BadData;
                break;
            }
            if (!checked(static_cast<const unsigned char*>(block), size)) {
                result.status = endOf(checked, RawMemberStatus::Ok);
                break;
            }
        }
    }
    archive_read_free(handle);
    if (feed.inputEndedEarly() && (result.status == RawMemberStatus::Ok || result.status == RawMemberStatus::BadData))
        result.status = RawMemberStatus::Truncated;
    return result;
}

}  // namespace

bool methodDecoded(std::uint16_t method)
{
    return method == kMethodStored || method == kMethodDeflate || method == 9 || libarchiveDecodes(method);
}

RawMemberResult decodeStreamed(const StreamedMember& member, const ByteInput& input, const ByteSink& sink)
{
    switch (member.method) {
    case kMethodStored: return copyStored(member, input, sink);
    case kMethodDeflate: return inflateStreamed(member, input, sink);
    case 9: return inflateDeflate64(member, input, sink);
    default: break;
    }
    if (libarchiveDecodes(member.method))
        return decodeWithLibarchive(member, input, sink);
    RawMemberResult result;
    result.status = RawMemberStatus::BadData;
    return result;
}

RawMemberResult inflateWhole(libdeflate_decompressor* decompressor, const unsigned char* in, std::size_t inSize,
                             unsigned char* out, std::size_t size)
{
    RawMemberResult result;
    std::size_t produced = 0;
    switch (libdeflate_deflate_decompress(decompressor, in, inSize, out, size, &produced)) {
    case LIBDEFLATE_SUCCESS: break;
    case LIBDEFLATE_INSUFFICIENT_SPACE: result.status = RawMemberStatus::TooLong; return result;
    default: result.status = RawMemberStatus::BadData; return result;
    }
    if (produced != size) {
        result.status = RawMemberStatus::BadData;
        return result;
    }
    result.size = size;
    result.crc32 = libdeflate_crc32(0, out, size);
    return result;
}

}  // namespace arc::zip
