// Short names of the LZH codec's result codes, for messages.
#include "lzh/lzh_status.h"

namespace lzh {

std::string_view lzhStatusName(LzhStatus status)
{
    switch (status) {
    case LzhStatus::Ok: return "ok";
    case LzhStatus::Truncated: return "truncated";
    case LzhStatus::BadBlockSize: return "bad block size";
    case LzhStatus::BadCodeTable: return "bad code table";
    case LzhStatus::BadHeader: return "bad header";
    case LzhStatus::HeaderChecksum: return "header checksum mismatch";
    case LzhStatus::CrcMismatch: return "CRC mismatch";
    case LzhStatus::UnsupportedMethod: return "unsupported method";
    case LzhStatus::UnsupportedHeader: return "unsupported header level";
    case LzhStatus::ReadFailed: return "read failed";
    case LzhStatus::WriteFailed: return "write failed";
    case LzhStatus::TooLarge: return "too large";
    }
    return "unknown";
}

}  // namespace lzh
