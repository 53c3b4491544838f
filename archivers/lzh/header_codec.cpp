// Member headers: parsing levels 0-3 with their extended headers, and writing level 2.
//
// Level 0/1: byte 0 is the base header size H (from byte 2), byte 1 the 8-bit sum of those H
// bytes. Level 1 follows the base with a chain of extended headers, counted in the
// "compressed size" field, so the data size is that field minus the chain. Level 2/3 hold
// everything in one header of known total size whose integrity the 0x00 header CRC covers.
// Each extended header is [type][data][size of the next one]; size 0 ends the chain.
#include "lzh/header_codec.h"

#include <algorithm>
#include <cstring>
#include <ctime>

#include "lzh/crc16.h"

namespace lzh {
namespace {

constexpr std::size_t kMaxHeaderBytes = 1u << 20;

std::uint32_t u16(const std::uint8_t* p)
{
    return p[0] | (std::uint32_t{p[1]} << 8);
}
std::uint32_t u32(const std::uint8_t* p)
{
    return u16(p) | (u16(p + 2) << 16);
}
std::uint64_t u64(const std::uint8_t* p)
{
    return u32(p) | (std::uint64_t{u32(p + 4)} << 32);
}

void put16(std::uint8_t* p, std::uint32_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

void put32(std::uint8_t* p, std::uint32_t v)
{
    put16(p, v & 0xFFFF);
    put16(p + 2, v >> 16);
}

LzhStatus readExactly(RandomAccess& archive, std::uint64_t offset, std::uint8_t* buffer, std::size_t size)
{
    std::size_t got = 0;
    LzhStatus st = archive.readAt(offset, buffer, size, got);
    if (st != LzhStatus::Ok)
        return st;
    return got == size ? LzhStatus::Ok : LzhStatus::Truncated;
}

// DOS date and time are local time.
std::int64_t dosTimeToUnix(std::uint32_t time, std::uint32_t date)
{
    std::tm tm{};
    tm.tm_year = static_cast<int>((date >> 9) & 0x7F) + 80;
    tm.tm_mon = static_cast<int>((date >> 5) & 0x0F) - 1;
    tm.tm_mday = static_cast<int>(date & 0x1F);
    tm.tm_hour = static_cast<int>((time >> 11) & 0x1F);
    tm.tm_min = static_cast<int>((time >> 5) & 0x3F);
    tm.tm_sec = static_cast<int>(time & 0x1F) * 2;
    tm.tm_isdst = -1;
    if (tm.tm_mon < 0 || tm.tm_mday == 0)
        return -1;
    std::time_t t = std::mktime(&tm);
    return t == static_cast<std::time_t>(-1) ? -1 : static_cast<std::int64_t>(t);
}

// Applies one extended header to `h`. `crcAt` receives the offset of a 0x00 header's value.
LzhStatus applyExtension(MemberHeader& h, std::uint8_t type, const std::uint8_t* data, std::size_t size)
{
    auto bytes = [&] { return std::string(reinterpret_cast<const char*>(data), size); };
    switch (type) {
    case 0x01: h.name = bytes(); break;
    case 0x02: h.directory = bytes(); break;
    case 0x42:
        if (size < 16)
            return LzhStatus::BadHeader;
        h.compressedSize = u64(data);
        h.originalSize = u64(data + 8);
        break;
    case 0x44: h.utf16Name = bytes(); break;
    case 0x45: h.utf16Directory = bytes(); break;
    case 0x46:
        if (size >= 4)
            h.codePage = u32(data);
        break;
    case 0x50:
        // OS-9 keeps its own permission bits here, which mean nothing as a Unix mode.
        if (size >= 2 && h.osId != 'K' && h.osId != '9')
            h.unixMode = u16(data);
        break;
    case 0x54:
        if (size >= 4)
            h.mtime = u32(data);
        break;
    default: break;  // attributes, owners, Windows times: not needed to extract
    }
    return LzhStatus::Ok;
}

// Walks an in-memory chain of extended headers starting at `at` whose first size is
// `nextSize`; `sizeBytes` is 2 (levels 1, 2) or 4 (level 3).
LzhStatus walkChain(MemberHeader& h, std::uint8_t* bytes, std::size_t total, std::size_t at, std::uint64_t nextSize,
                    int sizeBytes, std::size_t* crcAt)
{
    while (nextSize != 0) {
        if (nextSize < 1u + static_cast<unsigned>(sizeBytes) || at + nextSize > total)
            return LzhStatus::BadHeader;
        std::uint8_t type = bytes[at];
        std::size_t dataSize = static_cast<std::size_t>(nextSize) - 1 - static_cast<std::size_t>(sizeBytes);
        if (type == 0x00 && crcAt != nullptr && dataSize >= 2)
            *crcAt = at + 1;
        LzhStatus st = applyExtension(h, type, bytes + at + 1, dataSize);
        if (st != LzhStatus::Ok)
            return st;
        at += static_cast<std::size_t>(nextSize);
        nextSize = sizeBytes == 2 ? u16(bytes + at - 2) : u32(bytes + at - 4);
    }
    return LzhStatus::Ok;
}

void readMethod(MemberHeader& h, const std::uint8_t* base)
{
    h.methodId.assign(reinterpret_cast<const char*>(base + 2), 5);
    h.method = methodFor(h.methodId);
}

LzhStatus readLevel0Or1(RandomAccess& archive, std::uint64_t offset, const std::uint8_t* first, MemberHeader& h)
{
    const std::size_t baseSize = std::size_t{first[0]} + 2;
    std::uint8_t base[260];
    LzhStatus st = readExactly(archive, offset, base, baseSize);
    if (st != LzhStatus::Ok)
        return st;
    if (baseSize < 24)
        return LzhStatus::BadHeader;
    std::uint8_t sum = 0;
    for (std::size_t i = 2; i < baseSize; ++i)
        sum = static_cast<std::uint8_t>(sum + base[i]);
    if (sum != base[1])
        return LzhStatus::HeaderChecksum;
    readMethod(h, base);
    const std::size_t nameLength = base[21];
    if (22 + nameLength + 2 > baseSize)
        return LzhStatus::BadHeader;
    h.name.assign(reinterpret_cast<const char*>(base + 22), nameLength);
    h.dataCrc = static_cast<std::uint16_t>(u16(base + 22 + nameLength));
    h.compressedSize = u32(base + 7);
    h.originalSize = u32(base + 11);
    h.mtime = dosTimeToUnix(u16(base + 15), u16(base + 17));
    const std::size_t extAt = 24 + nameLength;

    if (h.level == 0) {
        // Optional extension: OS id, then for 'U' a minor version, mtime, mode, uid, gid.
        if (baseSize >= extAt + 1)
            h.osId = static_cast<char>(base[extAt]);
        if (h.osId == 'U' && baseSize >= extAt + 8) {
            h.mtime = u32(base + extAt + 2);
            h.unixMode = u16(base + extAt + 6);
        }
        h.dataOffset = offset + baseSize;
        return LzhStatus::Ok;
    }

    if (baseSize < extAt + 3)
        return LzhStatus::BadHeader;
    h.osId = static_cast<char>(base[extAt]);
    std::uint64_t nextSize = u16(base + baseSize - 2);
    std::uint64_t at = offset + baseSize;
    std::uint64_t chainBytes = 0;
    std::vector<std::uint8_t> ext;
    while (nextSize != 0) {
        chainBytes += nextSize;
        if (nextSize < 3 || chainBytes > kMaxHeaderBytes || chainBytes > h.compressedSize)
            return LzhStatus::BadHeader;
        ext.resize(static_cast<std::size_t>(nextSize));
        st = readExactly(archive, at, ext.data(), ext.size());
        if (st != LzhStatus::Ok)
            return st;
        st = applyExtension(h, ext[0], ext.data() + 1, ext.size() - 3);
        if (st != LzhStatus::Ok)
            return st;
        at += nextSize;
        nextSize = u16(ext.data() + ext.size() - 2);
    }
    // The size field counted the extended headers; a 0x42 header already gave the real size.
    if (h.compressedSize == u32(base + 7))
        h.compressedSize -= chainBytes;
    h.dataOffset = at;
    return LzhStatus::Ok;
}

// Whether the level-2 extension chain of the header at `offset` ends within `total` bytes.
bool chainEndsWithin(RandomAccess& archive, std::uint64_t offset, std::uint64_t total)
{
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(total));
    if (readExactly(archive, offset, bytes.data(), bytes.size()) != LzhStatus::Ok)
        return true;
    std::size_t at = 26;
    for (std::size_t next = u16(&bytes[24]); next != 0; next = u16(&bytes[at - 2])) {
        if (next < 3)
            return true;  // malformed either way: the real walk reports it
        if (at + next > total)
            return false;
        at += next;
    }
    return true;
}

LzhStatus readLevel2Or3(RandomAccess& archive, std::uint64_t offset, const std::uint8_t* first, MemberHeader& h)
{
    const bool level3 = h.level == 3;
    const int sizeBytes = level3 ? 4 : 2;
    const std::size_t baseSize = level3 ? 32 : 26;
    std::uint64_t total = level3 ? u32(first + 24) : u16(first);
    if (level3 && u16(first) != 4)
        return LzhStatus::BadHeader;
    if (total < baseSize || total > kMaxHeaderBytes)
        return LzhStatus::BadHeader;
    // LHA 2.01 for OS-9/68K stores a level-2 size 2 short of its header: with that OS id, a
    // chain that does not end inside the stated size may take 2 more bytes. Such headers carry
    // no header CRC; any other shortfall is still damage.
    if (!level3 && first[23] == 'K' && !chainEndsWithin(archive, offset, total))
        total += 2;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(total));
    LzhStatus st = readExactly(archive, offset, bytes.data(), bytes.size());
    if (st != LzhStatus::Ok)
        return st;
    readMethod(h, bytes.data());
    h.compressedSize = u32(&bytes[7]);
    h.originalSize = u32(&bytes[11]);
    h.mtime = u32(&bytes[15]);
    h.dataCrc = static_cast<std::uint16_t>(u16(&bytes[21]));
    h.osId = static_cast<char>(bytes[23]);
    std::uint64_t firstExt = level3 ? u32(&bytes[28]) : u16(&bytes[24]);
    std::size_t crcAt = 0;
    st = walkChain(h, bytes.data(), bytes.size(), baseSize, firstExt, sizeBytes, &crcAt);
    if (st != LzhStatus::Ok)
        return st;
    if (crcAt != 0) {
        std::uint16_t stored = static_cast<std::uint16_t>(u16(&bytes[crcAt]));
        bytes[crcAt] = 0;
        bytes[crcAt + 1] = 0;
        if (crc16Update(0, bytes.data(), bytes.size()) != stored)
            return LzhStatus::HeaderChecksum;
        h.hasHeaderCrc = true;
    }
    h.dataOffset = offset + total;
    return LzhStatus::Ok;
}

}  // namespace

LzhStatus MemoryAccess::readAt(std::uint64_t offset, std::uint8_t* buffer, std::size_t size, std::size_t& got)
{
    got = 0;
    if (offset >= size_)
        return LzhStatus::Ok;
    got = static_cast<std::size_t>(std::min<std::uint64_t>(size, size_ - offset));
    std::memcpy(buffer, data_ + offset, got);
    return LzhStatus::Ok;
}

LzhStatus readMemberHeader(RandomAccess& archive, std::uint64_t offset, MemberHeader& header, bool& atEnd)
{
    header = MemberHeader{};
    header.headerOffset = offset;
    atEnd = false;
    std::uint8_t first[32] = {};
    std::size_t got = 0;
    LzhStatus st = archive.readAt(offset, first, sizeof first, got);
    if (st != LzhStatus::Ok)
        return st;
    // A 0 byte (or nothing at all) where a header would start ends the archive.
    if (got == 0 || first[0] == 0) {
        atEnd = true;
        return LzhStatus::Ok;
    }
    if (got < 22)
        return LzhStatus::Truncated;
    if (first[2] != '-' || first[6] != '-')
        return LzhStatus::BadHeader;
    header.level = first[20];
    switch (header.level) {
    case 0:
    case 1: st = readLevel0Or1(archive, offset, first, header); break;
    case 2: st = readLevel2Or3(archive, offset, first, header); break;
    case 3:
        if (got < 32)
            return LzhStatus::Truncated;
        st = readLevel2Or3(archive, offset, first, header);
        break;
    default: return LzhStatus::UnsupportedHeader;
    }
    return st;
}

LzhStatus writeLevel2Header(const HeaderFields& f, std::vector<std::uint8_t>& out)
{
    struct Ext {
        std::uint8_t type;
        std::string data;
    };
    std::vector<Ext> exts;
    exts.push_back({0x00, std::string(2, '\0')});
    if (!f.name.empty())
        exts.push_back({0x01, f.name});
    if (!f.directory.empty())
        exts.push_back({0x02, f.directory});
    if (f.utf16Name)
        exts.push_back({0x44, *f.utf16Name});
    if (f.utf16Directory)
        exts.push_back({0x45, *f.utf16Directory});
    const bool wide = f.compressedSize > 0xFFFFFFFFu || f.originalSize > 0xFFFFFFFFu;
    if (wide) {
        std::string sizes(16, '\0');
        for (int i = 0; i < 8; ++i) {
            sizes[static_cast<std::size_t>(i)] = static_cast<char>(f.compressedSize >> (8 * i));
            sizes[static_cast<std::size_t>(8 + i)] = static_cast<char>(f.originalSize >> (8 * i));
        }
        exts.push_back({0x42, sizes});
    }
    exts.push_back(
        {0x50, std::string{static_cast<char>(f.unixMode & 0xFF), static_cast<char>((f.unixMode >> 8) & 0xFF)}});

    std::size_t total = 26;
    for (const Ext& e : exts) {
        if (e.data.size() > 0xFFFF - 3)
            return LzhStatus::TooLarge;
        total += 3 + e.data.size();
    }
    // A total whose low byte is 0 would read as the end marker: pad by one byte.
    const bool pad = (total & 0xFF) == 0;
    if (pad)
        ++total;
    if (total > 0xFFFF)
        return LzhStatus::TooLarge;

    std::vector<std::uint8_t> h(total, 0);
    put16(&h[0], static_cast<std::uint32_t>(total));
    std::memcpy(&h[2], methodId(f.method).data(), 5);
    put32(&h[7], static_cast<std::uint32_t>(wide ? 0 : f.compressedSize));
    put32(&h[11], static_cast<std::uint32_t>(wide ? 0 : f.originalSize));
    put32(&h[15], static_cast<std::uint32_t>(std::clamp<std::int64_t>(f.mtime, 0, 0xFFFFFFFF)));
    h[19] = 0x20;  // levels 1 and 2 must carry 0x20 here; real attributes would go in 0x40
    h[20] = 2;
    put16(&h[21], f.dataCrc);
    h[23] = 'U';
    std::size_t at = 24;
    for (const Ext& e : exts) {
        put16(&h[at], static_cast<std::uint32_t>(3 + e.data.size()));
        h[at + 2] = e.type;
        std::memcpy(&h[at + 3], e.data.data(), e.data.size());
        at += 3 + e.data.size();
    }
    put16(&h[at], 0);
    const std::uint16_t crc = crc16Update(0, h.data(), h.size());
    put16(&h[27], crc);  // the 0x00 extension is first: its value sits at 24 + 2 + 1
    out.insert(out.end(), h.begin(), h.end());
    return LzhStatus::Ok;
}

}  // namespace lzh
