// Command words: blanks, tabs, quotes anywhere in a word, and the commands the program sends.
#include "common/command_line.h"

#include <gtest/gtest.h>

namespace arc {
namespace {

struct SplitCase {
    std::string command;
    std::vector<std::string> words;
};

class SplitCommand : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitCommand, GivesTheExpectedWords)
{
    EXPECT_EQ(splitCommand(GetParam().command), GetParam().words);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SplitCommand,
    ::testing::Values(
        SplitCase{"", {}}, SplitCase{"   \t ", {}}, SplitCase{"a", {"a"}}, SplitCase{"a b", {"a", "b"}},
        SplitCase{"  a \t\tb  ", {"a", "b"}}, SplitCase{"\"a b\"", {"a b"}}, SplitCase{"\"a b\"c", {"a bc"}},
        SplitCase{"x\"a b\"c d", {"xa bc", "d"}}, SplitCase{"\"\"", {""}}, SplitCase{"a \"\" b", {"a", "", "b"}},
        SplitCase{"a\"\"b", {"ab"}}, SplitCase{"\"tab\there\"", {"tab\there"}},
        SplitCase{"\"unclosed quote", {"unclosed quote"}}, SplitCase{"表 \"ソ 能\"", {"表", "ソ 能"}},
        SplitCase{"a -n1 \"/tmp/A B.lzh\" \"/home/u/my file.txt\"",
                  {"a", "-n1", "/tmp/A B.lzh", "/home/u/my file.txt"}},
        SplitCase{"a \"/tmp/A.lzh\" \"/base/dir/\" N/*.* -x -n1 -r2",
                  {"a", "/tmp/A.lzh", "/base/dir/", "N/*.*", "-x", "-n1", "-r2"}},
        SplitCase{"x -n \"/tmp/資料.lzh\" \"/dest/dir/\"", {"x", "-n", "/tmp/資料.lzh", "/dest/dir/"}},
        SplitCase{"-r -j -q \"A.zip\" \"/full/path/file\"", {"-r", "-j", "-q", "A.zip", "/full/path/file"}},
        SplitCase{"-r -q \"A.zip\" \"/base/dir/\" N/*.*", {"-r", "-q", "A.zip", "/base/dir/", "N/*.*"}},
        SplitCase{"-xv --i \"ARCHIVE.zip\" \"/dest/dir/\"", {"-xv", "--i", "ARCHIVE.zip", "/dest/dir/"}}));

}  // namespace
}  // namespace arc
