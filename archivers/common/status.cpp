// Names of the result codes and the hand-over of a result to a plug-in's caller.
#include "common/status.h"

#include <cstring>

namespace arc {

std::string_view statusName(ArcStatus status)
{
    switch (status) {
    case ArcStatus::Ok: return "ok";
    case ArcStatus::BadCommand: return "bad-command";
    case ArcStatus::InputMissing: return "input-missing";
    case ArcStatus::ArchiveUnreadable: return "archive-unreadable";
    case ArcStatus::ArchiveCorrupt: return "archive-corrupt";
    case ArcStatus::WriteFailed: return "write-failed";
    case ArcStatus::UnsafeEntry: return "unsafe-entry";
    case ArcStatus::CrcMismatch: return "crc-mismatch";
    case ArcStatus::UnsupportedMethod: return "unsupported-method";
    case ArcStatus::NoMemory: return "no-memory";
    case ArcStatus::Cancelled: return "cancelled";
    case ArcStatus::PasswordRequired: return "password-required";
    case ArcStatus::WrongPassword: return "wrong-password";
    case ArcStatus::ArchiveInUse: return "archive-in-use";
    case ArcStatus::NameClash: return "name-clash";
    case ArcStatus::SpecialEntry: return "special-entry";
    case ArcStatus::ArchiveItself: return "archive-itself";
    case ArcStatus::Internal: return "internal";
    }
    return "unknown";
}

std::vector<EntryFailure> ArcResult::allFailures() const
{
    if (!failures.empty() || ok())
        return failures;
    return {EntryFailure{path, status, systemError, message}};
}

void mergeInto(ArcResult& total, const ArcResult& entry)
{
    if (entry.ok())
        return;
    std::vector<EntryFailure> added = entry.allFailures();
    if (total.failures.empty() && !total.ok())
        total.failures = total.allFailures();
    total.failures.insert(total.failures.end(), std::make_move_iterator(added.begin()),
                          std::make_move_iterator(added.end()));
    if (total.ok() || entry.status == ArcStatus::Cancelled) {
        total.status = entry.status;
        total.path = entry.path;
        total.systemError = entry.systemError;
    }
    if (entry.message.empty())
        return;
    if (!total.message.empty())
        total.message += '\n';
    total.message += entry.message;
}

namespace {

// Largest length <= limit that does not split a UTF-8 sequence of `text`.
std::size_t utf8CutPoint(const std::string& text, std::size_t limit)
{
    if (limit >= text.size())
        return text.size();
    std::size_t cut = limit;
    // Step back over continuation bytes (10xxxxxx) to the start of the character at `cut`.
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    return cut;
}

}  // namespace

int deliverResult(const ArcResult& result, char* output, std::uint32_t outputSize)
{
    if (output != nullptr && outputSize > 0) {
        const std::size_t length = utf8CutPoint(result.message, outputSize - 1);
        std::memcpy(output, result.message.data(), length);
        output[length] = '\0';
    }
    return static_cast<int>(result.status);
}

}  // namespace arc
