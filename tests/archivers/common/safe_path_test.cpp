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
    ::testing::Values(PathCase{"a.txt", false, "a.txt"}, PathCase{"dir/a.txt", false, "dir/a.txt"},
                      PathCase{"dir/", false, "dir"}, PathCase{"./a//b/./c", false, "a/b/c"},
                      PathCase{"表/ソ/能.txt", false, "表/ソ/能.txt"}, PathCase{"a..b/..c", false, "a..b/..c"},
                      PathCase{"...", false, "..."}, PathCase{".hidden/.x", false, ".hidden/.x"},
                      // escapes
                      PathCase{"..", false, kRefused}, PathCase{"../x", false, kRefused},
                      PathCase{"a/../../x", false, kRefused}, PathCase{"a/..", false, kRefused},
                      PathCase{"/../x", false, kRefused}, PathCase{"C:../x", false, kRefused},
                      // absolute and drive names land below the destination
                      PathCase{"/etc/passwd", false, "etc/passwd"}, PathCase{"//x", false, "x"},
                      PathCase{"c:/x", false, "x"}, PathCase{"C:x", true, "x"}, PathCase{"./C:/x", false, "x"},
                      PathCase{"/C:D:x", false, "x"}, PathCase{"a:b/c", false, "b/c"},
                      // cut at the first NUL
                      PathCase{std::string("a\0b", 3), false, "a"},
                      PathCase{std::string("d/e\0/../..", 10), false, "d/e"},
                      // nothing left
                      PathCase{std::string("\0x", 2), false, kRefused}, PathCase{"", false, kRefused},
                      PathCase{".", false, kRefused}, PathCase{"./", false, kRefused}, PathCase{"//", false, kRefused},
                      PathCase{"C:", false, kRefused}, PathCase{"C:\\", true, kRefused},
                      // backslashes
                      PathCase{"a\\b", false, "a\\b"}, PathCase{"a\\b", true, "a/b"}, PathCase{"..\\x", false, "..\\x"},
                      PathCase{"..\\x", true, kRefused}, PathCase{"a\\..\\..\\x", true, kRefused},
                      PathCase{"\\x", true, "x"}, PathCase{"\\x", false, "\\x"},
                      PathCase{"\\\\server\\s", true, "server/s"}, PathCase{"C:\\Windows", true, "Windows"},
                      PathCase{"C:\\Windows", false, "\\Windows"}, PathCase{"dir/c:x", false, "dir/c:x"}));

}  // namespace
}  // namespace arc

namespace arc {
namespace {

TEST(NamesDestinationItself, OnlyDotsAndSeparators)
{
    for (const char* name : {"", ".", "./", "./.", ".//./", "/", "C:", "/C:/."})
        EXPECT_TRUE(namesDestinationItself(name, false)) << name;
    EXPECT_TRUE(namesDestinationItself(".\\", true));
    EXPECT_TRUE(namesDestinationItself(std::string("\0a", 2), false));
    for (const char* name : {"..", "../", "./a", "a/.", ".\\", "/.."})
        EXPECT_FALSE(namesDestinationItself(name, false)) << name;
}

}  // namespace
}  // namespace arc

namespace arc {
namespace {

struct LinkCase {
    const char* link;
    std::string target;
    bool inside;
};

class LinkTarget : public ::testing::TestWithParam<LinkCase> {};

TEST_P(LinkTarget, StaysInsideOnlyWhenRelativeAndClimbingFirst)
{
    EXPECT_EQ(linkTargetStaysInside(GetParam().link, GetParam().target), GetParam().inside)
        << GetParam().link << " -> " << GetParam().target;
}

INSTANTIATE_TEST_SUITE_P(Cases, LinkTarget,
                         ::testing::Values(LinkCase{"a", "b", true}, LinkCase{"a", "./b/./c", true},
                                           LinkCase{"a", ".", true}, LinkCase{"d/a", "..", true},
                                           LinkCase{"d/e/a", "../../x/y", true}, LinkCase{"a", "", false},
                                           LinkCase{"a", "..", false}, LinkCase{"d/a", "../../x", false},
                                           LinkCase{"a", "/etc", false}, LinkCase{"a", "C:x", false},
                                           LinkCase{"a", "c:\\x", false},
                                           LinkCase{"a", std::string("b\0/../..", 8), false},
                                           // a ".." after a name may climb out through a link of that name
                                           LinkCase{"d/a", "x/..", false}, LinkCase{"d/e/a", "x/../../..", false}));

}  // namespace
}  // namespace arc
