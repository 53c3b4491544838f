// Member names that must stay inside the destination, with and without backslash separators.
#include "common/safe_path.h"

#include <gtest/gtest.h>

namespace arc {
namespace {

struct PathCase {
    std::string name;
    bool backslashIsSeparator;
    std::optional<std::string> expected;
};

class SafeRelativePath : public ::testing::TestWithParam<PathCase> {};

TEST_P(SafeRelativePath, CleansOrRefuses)
{
    EXPECT_EQ(safeRelativePath(GetParam().name, GetParam().backslashIsSeparator), GetParam().expected)
        << GetParam().name;
}

const std::optional<std::string> kRefused;

INSTANTIATE_TEST_SUITE_P(
    Cases, SafeRelativePath,
    ::testing::Values(
        PathCase{"a.txt", false, "a.txt"}, PathCase{"dir/a.txt", false, "dir/a.txt"},
        PathCase{"dir/", false, "dir"}, PathCase{"./a//b/./c", false, "a/b/c"},
        PathCase{"表/ソ/能.txt", false, "表/ソ/能.txt"}, PathCase{"a..b/..c", false, "a..b/..c"},
        PathCase{"...", false, "..."},
        // escapes
        PathCase{"..", false, kRefused}, PathCase{"../x", false, kRefused}, PathCase{"a/../../x", false, kRefused},
        PathCase{"a/..", false, kRefused}, PathCase{"/etc/passwd", false, kRefused},
        PathCase{"//x", false, kRefused}, PathCase{"C:", false, kRefused}, PathCase{"c:/x", false, kRefused},
        PathCase{"C:x", true, kRefused}, PathCase{"./C:/x", false, kRefused},
        PathCase{std::string("a\0b", 3), false, kRefused}, PathCase{"", false, kRefused},
        PathCase{".", false, kRefused}, PathCase{"./", false, kRefused}, PathCase{"//", false, kRefused},
        // backslashes
        PathCase{"a\\b", false, "a\\b"}, PathCase{"a\\b", true, "a/b"}, PathCase{"..\\x", false, "..\\x"},
        PathCase{"..\\x", true, kRefused}, PathCase{"a\\..\\..\\x", true, kRefused},
        PathCase{"\\x", true, kRefused}, PathCase{"\\x", false, "\\x"}, PathCase{"\\\\server\\s", true, kRefused},
        PathCase{"C:\\Windows", true, kRefused}, PathCase{"C:\\Windows", false, kRefused},
        PathCase{"a:b/c", false, kRefused}, PathCase{"dir/c:x", false, "dir/c:x"}));

}  // namespace
}  // namespace arc

namespace arc {
namespace {

TEST(NamesDestinationItself, OnlyDotsAndSeparators)
{
    for (const char* name : {".", "./", "./.", ".//./"})
        EXPECT_TRUE(namesDestinationItself(name, false)) << name;
    EXPECT_TRUE(namesDestinationItself(".\\", true));
    for (const char* name : {"", "/", "..", "../", "./a", "a/.", ".\\"})
        EXPECT_FALSE(namesDestinationItself(name, false)) << name;
}

}  // namespace
}  // namespace arc
