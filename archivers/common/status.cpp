// Names of the result codes and the hand-over of a result to a plug-in's caller.
#include "common/status.h"

#include <cstring>
#include <string>
#include <vector>

#include "plugins/plugin_api.h"

namespace arc {
namespace {

// Every ArcStatus must have its case here: a new code without one fails the build.
#pragma GCC diagnostic push
#pragma GCC diagnostic error "-Wswitch"
constexpr std::string_view statusNameOf(ArcStatus status)
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
#pragma GCC diagnostic pop

// The engine's codes are the C header's codes: every pair must agree, and every code that has a
// name must have its pair, so a code added on one side only fails the build.
struct CodePair {
    ArcStatus engine;
    ArchiverResult published;
};
constexpr CodePair kPublishedCodes[] = {
    {ArcStatus::Ok, ARCHIVER_OK},
    {ArcStatus::BadCommand, ARCHIVER_BAD_COMMAND},
    {ArcStatus::InputMissing, ARCHIVER_INPUT_MISSING},
    {ArcStatus::ArchiveUnreadable, ARCHIVER_ARCHIVE_UNREADABLE},
    {ArcStatus::ArchiveCorrupt, ARCHIVER_ARCHIVE_CORRUPT},
    {ArcStatus::WriteFailed, ARCHIVER_WRITE_FAILED},
    {ArcStatus::UnsafeEntry, ARCHIVER_UNSAFE_ENTRY},
    {ArcStatus::CrcMismatch, ARCHIVER_CRC_MISMATCH},
    {ArcStatus::UnsupportedMethod, ARCHIVER_UNSUPPORTED_METHOD},
    {ArcStatus::NoMemory, ARCHIVER_NO_MEMORY},
    {ArcStatus::Cancelled, ARCHIVER_CANCELLED},
    {ArcStatus::PasswordRequired, ARCHIVER_PASSWORD_REQUIRED},
    {ArcStatus::WrongPassword, ARCHIVER_WRONG_PASSWORD},
    {ArcStatus::ArchiveInUse, ARCHIVER_ARCHIVE_IN_USE},
    {ArcStatus::NameClash, ARCHIVER_NAME_CLASH},
    {ArcStatus::SpecialEntry, ARCHIVER_SPECIAL_ENTRY},
    {ArcStatus::ArchiveItself, ARCHIVER_ARCHIVE_ITSELF},
    {ArcStatus::Internal, ARCHIVER_INTERNAL},
};

constexpr bool codesAgree()
{
    for (const CodePair& pair : kPublishedCodes)
        if (static_cast<int>(pair.engine) != static_cast<int>(pair.published))
            return false;
    for (int code = 0; code <= 255; ++code) {
        if (statusNameOf(static_cast<ArcStatus>(code)) == "unknown")
            continue;
        bool paired = false;
        for (const CodePair& pair : kPublishedCodes)
            paired = paired || static_cast<int>(pair.engine) == code;
        if (!paired)
            return false;
    }
    return true;
}

static_assert(codesAgree(), "ArcStatus and plugin_api.h disagree");

}  // namespace

std::string_view statusName(ArcStatus status)
{
    return statusNameOf(status);
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

constexpr const char* kEllipsis = "\u2026";

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

// The message as it fits `capacity` bytes: whole lines as far as they fit, then "… (N more
// failures)" (or lines) for those left out; a first line too long for the room is cut at a
// character boundary and marked "…". A cut never splits a UTF-8 sequence, nor a name without
// saying so.
std::string fitted(const ArcResult& result, std::size_t capacity)
{
    const std::string& message = result.message;
    if (message.size() <= capacity)
        return message;
    std::vector<std::size_t> starts{0};
    for (std::size_t at = message.find('\n'); at != std::string::npos && at + 1 < message.size();
         at = message.find('\n', at + 1))
        starts.push_back(at + 1);
    const auto leftOut = [&](std::size_t lines) {
        if (lines == 0)
            return std::string(kEllipsis);
        const char* what = result.ok() ? (lines == 1 ? "line" : "lines") : (lines == 1 ? "failure" : "failures");
        return std::string(kEllipsis) + " (" + std::to_string(lines) + " more " + what + ")";
    };
    for (std::size_t kept = starts.size() - 1; kept > 0; --kept) {
        const std::string mark = leftOut(starts.size() - kept);
        if (starts[kept] + mark.size() <= capacity)
            return message.substr(0, starts[kept]) + mark;
    }
    std::string mark = leftOut(starts.size() - 1);
    if (mark.size() > capacity)
        mark = kEllipsis;
    if (mark.size() > capacity)
        return message.substr(0, utf8CutPoint(message, capacity));
    std::string first = message.substr(0, utf8CutPoint(message, capacity - mark.size()));
    if (first.ends_with('\n'))
        first.pop_back();
    return first + mark;
}

}  // namespace

int deliverResult(const ArcResult& result, char* output, std::uint32_t outputSize)
{
    if (output != nullptr && outputSize > 0) {
        const std::string text = fitted(result, outputSize - 1);
        std::memcpy(output, text.data(), text.size());
        output[text.size()] = '\0';
    }
    return static_cast<int>(result.status);
}

}  // namespace arc
