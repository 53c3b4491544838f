// Raw member bytes through the matching decoder into the disk writer, with the member's checks.
#include "zip/raw_member_extraction.h"

#include <cstdint>
#include <cstring>

#include "zip/raw_member_reader.h"

namespace arc::zip {
namespace {

constexpr std::uint64_t k4GiB = std::uint64_t{1} << 32;
// Deflate cannot expand data more than this: a stream of n bytes gives at most about 1032 n.
constexpr std::uint64_t kDeflateMaxRatio = 1032;

}  // namespace

bool rawMethodSupported(std::uint16_t method)
{
    return method == 0 || method == 8 || method == 9;
}

RawOutcome extractRawMember(const ByteSource& source, const RawMemberPlan& plan, SafeDiskWriter& writer, Job& job,
                            ArcResult& failure)
{
    const std::string prefix = "\"" + plan.name + "\": ";
    if (!rawMethodSupported(plan.method)) {
        failure = ArcResult::failure(ArcStatus::UnsupportedMethod,
                                     prefix + "method " + std::to_string(plan.method) + " is not supported", plan.name);
        return RawOutcome::Failed;
    }
    failure = writer.beginFile(plan.path, plan.mode, plan.mtime);
    if (!failure.ok()) {
        if (failure.path.empty())
            failure.path = plan.name;
        return RawOutcome::Failed;
    }
    bool stopped = false;
    ArcResult writeFailure;
    const auto sink = [&](const unsigned char* data, std::size_t size) {
        writeFailure = writer.writeData(data, size);
        if (!writeFailure.ok())
            return false;
        stopped = !job.advance(size);
        return !stopped;
    };
    const std::uint64_t maxOutput = plan.sizeModulo4GiB ? (plan.compressedSize > UINT64_MAX / kDeflateMaxRatio
                                                               ? UINT64_MAX
                                                               : plan.compressedSize * kDeflateMaxRatio)
                                                        : plan.size;
    RawMemberResult read;
    switch (plan.method) {
    case 0: read = copyStoredMember(source, plan.dataOffset, plan.compressedSize, sink); break;
    case 8: read = inflateDeflateMember(source, plan.dataOffset, plan.compressedSize, maxOutput, sink); break;
    default: read = inflateDeflate64Member(source, plan.dataOffset, plan.compressedSize, maxOutput, sink); break;
    }
    const std::uint64_t sizeMask = plan.sizeModulo4GiB ? k4GiB - 1 : UINT64_MAX;
    if (!stopped && read.status == RawMemberStatus::Ok && read.crc32 == plan.crc32 &&
        (read.size & sizeMask) == (plan.size & sizeMask)) {
        failure = writer.commitFile();
        if (!failure.ok() && failure.path.empty())
            failure.path = plan.name;
        if (job.cancelled())
            return RawOutcome::Cancelled;
        return failure.ok() ? RawOutcome::Committed : RawOutcome::Failed;
    }
    writer.abortFile();
    if (stopped)
        return RawOutcome::Cancelled;
    switch (read.status) {
    case RawMemberStatus::Stopped:
        failure = writeFailure;
        if (failure.path.empty())
            failure.path = plan.name;
        break;
    case RawMemberStatus::ReadFailed:
        failure = ArcResult::failure(ArcStatus::ArchiveUnreadable,
                                     prefix + "could not read the archive: " + std::strerror(read.systemError),
                                     plan.name, read.systemError);
        break;
    case RawMemberStatus::BadData:
    case RawMemberStatus::Truncated:
    case RawMemberStatus::TooLong:
        failure = ArcResult::failure(ArcStatus::ArchiveCorrupt,
                                     prefix + "the compressed data is damaged; not extracted", plan.name);
        break;
    case RawMemberStatus::Ok:
        failure = ArcResult::failure(ArcStatus::CrcMismatch, prefix + "data does not match its CRC-32; not extracted",
                                     plan.name);
        break;
    }
    return RawOutcome::Failed;
}

}  // namespace arc::zip
