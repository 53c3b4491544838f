// Feeds a member's compressed bytes straight from the archive to the matching streamed decoder.
#include "zip/raw_member_reader.h"

#include <cerrno>

#include <algorithm>

#include "zip/member_decoder.h"
#include "zip/zip_format.h"

namespace arc::zip {
namespace {

// The member's bytes from the archive, in order; remembers why a read failed, which the decoder
// only sees as the end of its input.
class SourceInput {
public:
    SourceInput(const ByteSource& source, std::uint64_t offset) : source_(source), offset_(offset) {}
    std::size_t operator()(unsigned char* buffer, std::size_t capacity)
    {
        if (failed_ || offset_ >= source_.size())
            return 0;
        const auto size = static_cast<std::size_t>(std::min<std::uint64_t>(capacity, source_.size() - offset_));
        if (!source_.readAt(offset_, buffer, size)) {
            failed_ = true;
            error_ = errno;
            return 0;
        }
        offset_ += size;
        return size;
    }
    int error() const { return error_; }

private:
    const ByteSource& source_;
    std::uint64_t offset_;
    bool failed_ = false;
    int error_ = 0;
};

RawMemberResult decodeFromSource(const ByteSource& source, std::uint64_t dataOffset, const StreamedMember& member,
                                 const std::function<bool(const unsigned char*, std::size_t)>& sink)
{
    SourceInput input(source, dataOffset);
    RawMemberResult result = decodeStreamed(member, std::ref(input), sink);
    if (result.status == RawMemberStatus::Truncated && input.error() != 0) {
        result.status = RawMemberStatus::ReadFailed;
        result.systemError = input.error();
    }
    return result;
}

}  // namespace

RawMemberResult inflateDeflate64Member(const ByteSource& source, std::uint64_t dataOffset, std::uint64_t compressedSize,
                                       std::uint64_t maxOutputSize,
                                       const std::function<bool(const unsigned char*, std::size_t)>& sink)
{
    return decodeFromSource(source, dataOffset, StreamedMember{9, 0, compressedSize, maxOutputSize}, sink);
}

RawMemberResult copyStoredMember(const ByteSource& source, std::uint64_t dataOffset, std::uint64_t size,
                                 const std::function<bool(const unsigned char*, std::size_t)>& sink)
{
    return decodeFromSource(source, dataOffset, StreamedMember{kMethodStored, 0, size, size}, sink);
}

RawMemberResult inflateDeflateMember(const ByteSource& source, std::uint64_t dataOffset,
                                     std::uint64_t maxCompressedSize, std::uint64_t maxOutputSize,
                                     const std::function<bool(const unsigned char*, std::size_t)>& sink)
{
    return decodeFromSource(source, dataOffset, StreamedMember{kMethodDeflate, 0, maxCompressedSize, maxOutputSize},
                            sink);
}

}  // namespace arc::zip
