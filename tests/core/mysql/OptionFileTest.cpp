#include "mysql/OptionFile.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace varnel {
namespace {

using test::TempDir;

class OptionFileTest : public ::testing::Test {
protected:
    std::string file(const std::string &name, const std::string &text, mode_t mode)
    {
        const std::string path = dir.file(name).string();
        test::writeBytes(path, text);
        ::chmod(path.c_str(), mode);
        return path;
    }
    TempDir dir;
};

TEST_F(OptionFileTest, APasswordOthersMayReadIsRefused)
{
    const struct {
        const char *text;
        bool password;
    } rows[] = {
        {"[client]\npassword=x\n", true},
        {"[client]\n  Password = x \r\n", true},
        {"[client]\npassword=\n", false},
        {"[client]\npassword\n", false}, // asks for one
        {"[client]\n#password=x\n;password=x\n", false},
    };
    for (const auto &row : rows) {
        const std::string path = file("client.cnf", row.text, 0644);
        const auto problem = optionFileProblem(path);
        if (row.password) {
            EXPECT_EQ(
                problem, "选项文件 " + path + " 含有密码，权限是 0644，其他用户可以读取；请执行 chmod 600 " + path)
                << row.text;
        } else {
            EXPECT_EQ(problem, std::nullopt) << row.text;
        }
        ::chmod(path.c_str(), 0600);
        EXPECT_EQ(optionFileProblem(path), std::nullopt) << row.text;
    }
    // Others may not change it, password or not.
    const std::string shared = file("shared.cnf", "[client]\nhost=db\n", 0620);
    EXPECT_EQ(optionFileProblem(shared),
        "选项文件 " + shared + " 的权限是 0620，其他用户可以修改；请执行 chmod 600 " + shared);
    EXPECT_EQ(optionFileProblem(dir.file("missing.cnf")),
        "无法读取选项文件 " + dir.file("missing.cnf").string() + "：没有那个文件或目录");
}

// The files it includes are read by the library as well: they are looked
// at the same way, a FIFO among them refused without waiting.
TEST_F(OptionFileTest, IncludedFilesAreLookedAtToo)
{
    const std::string fifo = dir.file("fifo.cnf").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(optionFileProblem(fifo), "不是普通文件：" + fifo);
    const std::string top = file("top.cnf", "[client]\n!include " + fifo + "\n", 0600);
    EXPECT_EQ(optionFileProblem(top), "不是普通文件：" + fifo);

    const std::string open = file("open.cnf", "[client]\npassword=x\n", 0604);
    file("top.cnf", "!include " + open + "\n", 0600);
    EXPECT_EQ(optionFileProblem(top),
        "选项文件 " + open + " 含有密码，权限是 0604，其他用户可以读取；请执行 chmod 600 " + open);

    // A folder: its .cnf files count, others are not read.
    std::filesystem::create_directories(dir.file("conf.d"));
    ASSERT_EQ(::mkfifo(dir.file("conf.d/notes").c_str(), 0600), 0);
    file("conf.d/a.cnf", "[client]\nhost=db\n", 0644);
    file("top.cnf", "!includedir " + dir.file("conf.d").string() + "\n", 0600);
    EXPECT_EQ(optionFileProblem(top), std::nullopt);
    ASSERT_EQ(::mkfifo(dir.file("conf.d/b.cnf").c_str(), 0600), 0);
    EXPECT_EQ(optionFileProblem(top), "不是普通文件：" + dir.file("conf.d/b.cnf").string());

    // A file that includes itself ends.
    file("self.cnf", "!include " + dir.file("self.cnf").string() + "\n", 0600);
    EXPECT_EQ(
        optionFileProblem(dir.file("self.cnf")), "选项文件 " + dir.file("self.cnf").string() + " 的 !include 嵌套过深");
}

} // namespace
} // namespace varnel
