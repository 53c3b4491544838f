// Fuzz target bodies: everything hostile input can reach, with output sizes capped so a
// run stays fast (the decoder itself never needs the cap to terminate).
#include "lzh_fuzz_targets.h"

#include <algorithm>

#include "common/safe_path.h"
#include "lzh/archive_reader.h"
#include "lzh/lzh_decoder.h"
#include "lzh/member_name.h"

namespace lzh::fuzz {
namespace {

constexpr std::uint64_t kMaxOutput = 1u << 20;

class DiscardSink final : public ByteSink {
public:
    LzhStatus write(const std::uint8_t*, std::size_t) override { return LzhStatus::Ok; }
};

class MemoryRange final : public ByteSource {
public:
    MemoryRange(const std::uint8_t* data, std::size_t size) : inner_(data, size) {}
    LzhStatus read(std::uint8_t* buffer, std::size_t capacity, std::size_t& got) override
    {
        return inner_.read(buffer, capacity, got);
    }

private:
    MemorySource inner_;
};

}  // namespace

void headerParserTarget(const std::uint8_t* data, std::size_t size)
{
    MemoryAccess access(data, size);
    ScannedArchive scanned;
    scanArchive(access, size, scanned);
    for (const MemberHeader& h : scanned.members) {
        const std::string path = decodeMemberPath(h);
        arc::safeRelativePath(path, backslashSeparates(h));
        if (!h.method || h.dataOffset > size)
            continue;
        const std::size_t available =
            static_cast<std::size_t>(std::min<std::uint64_t>(h.compressedSize, size - h.dataOffset));
        MemoryRange source(data + h.dataOffset, available);
        DiscardSink sink;
        std::uint16_t crc = 0;
        decodeMember(*h.method, source, std::min(h.originalSize, kMaxOutput), sink, crc);
    }
}

void decoderTarget(const std::uint8_t* data, std::size_t size)
{
    if (size < 3)
        return;
    // A first byte below 0x80 picks one of the corpus's original methods as it always did.
    static const Method methods[] = {Method::Lh5, Method::Lh6, Method::Lh7};
    static const Method older[] = {Method::Lh1, Method::Lh2, Method::Lh3, Method::Lh4, Method::Lz5, Method::Lzs};
    const Method method = data[0] < 0x80 ? methods[data[0] % 3] : older[data[0] % 6];
    const std::uint64_t claimed = (std::uint64_t{data[1]} | (std::uint64_t{data[2]} << 8)) * 16;
    MemoryRange source(data + 3, size - 3);
    DiscardSink sink;
    std::uint16_t crc = 0;
    decodeMember(method, source, claimed, sink, crc);
}

}  // namespace lzh::fuzz
