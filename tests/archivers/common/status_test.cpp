// Result codes: stable names, merging of several failures, delivery into a caller's buffer.
#include "common/status.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace arc {
namespace {

TEST(StatusName, EveryCodeHasItsOwnName)
{
    const ArcStatus all[] = {ArcStatus::Ok,
                             ArcStatus::BadCommand,
                             ArcStatus::InputMissing,
                             ArcStatus::ArchiveUnreadable,
                             ArcStatus::ArchiveCorrupt,
                             ArcStatus::WriteFailed,
                             ArcStatus::UnsafeEntry,
                             ArcStatus::CrcMismatch,
                             ArcStatus::UnsupportedMethod,
                             ArcStatus::NoMemory,
                             ArcStatus::Cancelled,
                             ArcStatus::PasswordRequired,
                             ArcStatus::WrongPassword,
                             ArcStatus::ArchiveInUse,
                             ArcStatus::NameClash,
                             ArcStatus::SpecialEntry,
                             ArcStatus::ArchiveItself,
                             ArcStatus::Internal};
    std::set<std::string_view> names;
    for (const ArcStatus status : all) {
        EXPECT_NE(statusName(status), "unknown");
        names.insert(statusName(status));
    }
    EXPECT_EQ(names.size(), std::size(all));
    EXPECT_EQ(statusName(ArcStatus::CrcMismatch), "crc-mismatch");
    EXPECT_EQ(statusName(static_cast<ArcStatus>(42)), "unknown");
}

TEST(MergeInto, FirstFailureWinsAndEveryMessageIsKept)
{
    ArcResult total;
    mergeInto(total, ArcResult::success());
    EXPECT_TRUE(total.ok());
    mergeInto(total, ArcResult::failure(ArcStatus::UnsafeEntry, "a: escapes"));
    mergeInto(total, ArcResult::success());
    mergeInto(total, ArcResult::failure(ArcStatus::CrcMismatch, "b: bad crc"));
    EXPECT_EQ(total.status, ArcStatus::UnsafeEntry);
    EXPECT_EQ(total.message, "a: escapes\nb: bad crc");
    mergeInto(total, ArcResult::failure(ArcStatus::WriteFailed, "c: full", "c", 28));
    mergeInto(total, ArcResult::failure(ArcStatus::Cancelled, "cancelled"));
    EXPECT_EQ(total.status, ArcStatus::Cancelled);  // a cancelled run never looks like another failure
    const std::vector<EntryFailure>& failures = total.failures;
    ASSERT_EQ(failures.size(), 4u);
    EXPECT_EQ(failures[2].path, "c");
    EXPECT_EQ(failures[2].reason, ArcStatus::WriteFailed);
    EXPECT_EQ(failures[2].systemError, 28);
    EXPECT_EQ(failures[1].message, "b: bad crc");
}

struct DeliverCase {
    std::string message;
    std::uint32_t size;
    std::string expected;
};

class DeliverResult : public ::testing::TestWithParam<DeliverCase> {};

TEST_P(DeliverResult, CopiesWhatFitsAtACharacterBoundary)
{
    const DeliverCase& c = GetParam();
    std::string buffer(64, 'X');
    const int code = deliverResult(ArcResult::failure(ArcStatus::WriteFailed, c.message), buffer.data(), c.size);
    EXPECT_EQ(code, 5);
    EXPECT_EQ(std::string(buffer.c_str()), c.expected);
    EXPECT_EQ(buffer[c.size], c.size < buffer.size() ? 'X' : buffer[c.size]) << "wrote past the buffer";
}

// "表" and "…" are three bytes each in UTF-8; a buffer of n bytes holds n - 1 of the message.
const std::string kThreeLines = "cannot write a\ncannot write b\ncannot write c";
INSTANTIATE_TEST_SUITE_P(Sizes, DeliverResult,
                         ::testing::Values(DeliverCase{"hello", 16, "hello"}, DeliverCase{"hello", 6, "hello"},
                                           DeliverCase{"hello", 5, "h…"}, DeliverCase{"hello", 3, "he"},
                                           DeliverCase{"hello", 1, ""}, DeliverCase{"表表", 7, "表表"},
                                           DeliverCase{"表表", 6, "…"}, DeliverCase{"表表", 3, ""},
                                           DeliverCase{kThreeLines, 45, kThreeLines},
                                           DeliverCase{kThreeLines, 44, "cannot write a\n… (2 more failures)"},
                                           DeliverCase{kThreeLines, 16, "cannot write…"}));

TEST(DeliverResultEdges, NullOrEmptyBufferIsLeftAlone)
{
    EXPECT_EQ(deliverResult(ArcResult::failure(ArcStatus::Internal, "x"), nullptr, 100), 99);
    char one = 'Z';
    EXPECT_EQ(deliverResult(ArcResult::failure(ArcStatus::NoMemory, "x"), &one, 0), 9);
    EXPECT_EQ(one, 'Z');
    EXPECT_EQ(deliverResult(ArcResult::success(), &one, 1), 0);
    EXPECT_EQ(one, '\0');
}

}  // namespace
}  // namespace arc
