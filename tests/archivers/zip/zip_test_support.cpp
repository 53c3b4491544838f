// The test-only archive builder: stored members, local headers and a central directory, with
// whatever names, modes and CRCs a test asks for.
#include "zip_test_support.h"

#include <zlib.h>

#include <algorithm>

namespace arc::testing {
namespace {

void put16(std::string& out, std::uint32_t v)
{
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void put32(std::string& out, std::uint32_t v)
{
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

}  // namespace

std::uint32_t crcOf(const std::string& data)
{
    return static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

std::string buildStoredZip(const std::vector<RawMember>& members, bool reverseDirectory)
{
    std::string body;
    std::string directory;
    std::vector<std::string> records;
    for (const RawMember& member : members) {
        const std::uint32_t crc = member.crc.value_or(crcOf(member.data));
        const auto offset = static_cast<std::uint32_t>(body.size());
        put32(body, 0x04034b50);
        put16(body, 10);
        put16(body, member.flags);
        put16(body, 0);
        put16(body, 0);
        put16(body, 0x21);
        put32(body, crc);
        put32(body, static_cast<std::uint32_t>(member.data.size()));
        put32(body, static_cast<std::uint32_t>(member.data.size()));
        put16(body, static_cast<std::uint32_t>(member.name.size()));
        put16(body, 0);
        body += member.name + member.data;

        std::string& record = records.emplace_back();
        put32(record, 0x02014b50);
        put16(record, (3u << 8) | 30u);
        put16(record, 10);
        put16(record, member.flags);
        put16(record, 0);
        put16(record, 0);
        put16(record, 0x21);
        put32(record, crc);
        put32(record, static_cast<std::uint32_t>(member.data.size()));
        put32(record, static_cast<std::uint32_t>(member.data.size()));
        put16(record, static_cast<std::uint32_t>(member.name.size()));
        put16(record, static_cast<std::uint32_t>(member.centralExtra.size()));
        put16(record, 0);
        put16(record, 0);
        put16(record, 0);
        put32(record, member.mode << 16);
        put32(record, offset);
        record += member.name + member.centralExtra;
    }
    if (reverseDirectory)
        std::reverse(records.begin(), records.end());
    for (const std::string& record : records)
        directory += record;
    std::string out = body + directory;
    put32(out, 0x06054b50);
    put16(out, 0);
    put16(out, 0);
    put16(out, static_cast<std::uint32_t>(members.size()));
    put16(out, static_cast<std::uint32_t>(members.size()));
    put32(out, static_cast<std::uint32_t>(directory.size()));
    put32(out, static_cast<std::uint32_t>(body.size()));
    put16(out, 0);
    return out;
}

}  // namespace arc::testing
