#include "util/SystemError.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <ios>
#include <string>
#include <utility>
#include <vector>

namespace varnel {
namespace {

TEST(SystemError, FileErrorsReadInChineseAndOthersKeepTheirNumber)
{
    const std::vector<std::pair<int, std::string>> table = {
        {ENOENT, "没有那个文件或目录"}, {EACCES, "权限不够"}, {EPERM, "不允许的操作"}, {ENOTDIR, "不是目录"},
        {ENOSPC, "设备上没有空间"}, {EISDIR, "是一个目录"}, {ENAMETOOLONG, "文件名过长"}, {ELOOP, "符号连接的层数过多"},
        {EROFS, "只读文件系统"}, {EDQUOT, "超出磁盘限额"}, {EIO, "输入/输出错误"}, {ENOMEM, "内存不足"},
        {EEXIST, "文件已存在"}, {EMFILE, "打开的文件过多"}, {ENFILE, "系统中打开的文件过多"}, {EBUSY, "设备或资源忙"},
        {EXDEV, "无效的跨设备链接"}, {EINVAL, "无效的参数"}, {EFBIG, "文件过大"}, {ETXTBSY, "文本文件忙"},
        {ENXIO, "没有那个设备或地址"}, {ENOTEMPTY, "目录非空"}, {EAGAIN, "资源暂时不可用"},
        {EWOULDBLOCK, "资源暂时不可用"}, // another instance holds a lock
    };
    for (const auto &[value, text] : table) {
        EXPECT_EQ(systemErrorText(value), text) << value;
        EXPECT_EQ(systemErrorText(std::error_code(value, std::generic_category())), text) << value;
        EXPECT_EQ(systemErrorText(std::error_code(value, std::system_category())), text) << value;
    }

    // Anything else: the system's words and the number to look it up by.
    EXPECT_EQ(systemErrorText(EOPNOTSUPP), "Operation not supported (错误 95)");
    EXPECT_TRUE(systemErrorText(123456).ends_with(" (错误 123456)")) << systemErrorText(123456);
    EXPECT_TRUE(systemErrorText(-1).ends_with(" (错误 -1)")) << systemErrorText(-1);
    // A code that is not the system's is not taken for an errno value.
    const std::error_code stream = std::make_error_code(std::io_errc::stream);
    EXPECT_EQ(systemErrorText(stream), stream.message());
}

} // namespace
} // namespace varnel
