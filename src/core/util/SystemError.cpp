#include "util/SystemError.h"

#include <cerrno>
#include <cstring>

namespace varnel {

namespace {

// The wording follows the system's own Chinese messages, so a text here
// reads as a person who knows them expects.
// check-format: table
const char *chineseText(int e)
{
    switch (e) {
    case EPERM:
        return "不允许的操作";
    case ENOENT:
        return "没有那个文件或目录";
    case EINTR:
        return "被中断的系统调用";
    case EIO:
        return "输入/输出错误";
    case ENXIO:
        return "没有那个设备或地址";
    case E2BIG:
        return "参数列表过长";
    case ENOEXEC:
        return "可执行文件格式错误";
    case EBADF:
        return "错误的文件描述符";
    case EAGAIN:
        return "资源暂时不可用";
    case ENOMEM:
        return "内存不足";
    case EACCES:
        return "权限不够";
    case EBUSY:
        return "设备或资源忙";
    case EEXIST:
        return "文件已存在";
    case EXDEV:
        return "无效的跨设备链接";
    case ENODEV:
        return "没有那个设备";
    case ENOTDIR:
        return "不是目录";
    case EISDIR:
        return "是一个目录";
    case EINVAL:
        return "无效的参数";
    case ENFILE:
        return "系统中打开的文件过多";
    case EMFILE:
        return "打开的文件过多";
    case ETXTBSY:
        return "文本文件忙";
    case EFBIG:
        return "文件过大";
    case ENOSPC:
        return "设备上没有空间";
    case ESPIPE:
        return "非法 seek 操作";
    case EROFS:
        return "只读文件系统";
    case EMLINK:
        return "过多的链接";
    case EPIPE:
        return "断开的管道";
    case ENAMETOOLONG:
        return "文件名过长";
    case ENOLCK:
        return "没有可用的锁";
    case ENOSYS:
        return "函数未实现";
    case ENOTEMPTY:
        return "目录非空";
    case ELOOP:
        return "符号连接的层数过多";
    case EOVERFLOW:
        return "对已定义的数据类型来说值过大";
    case EILSEQ:
        return "无效或不完整的多字节字符或宽字符";
    case ETIMEDOUT:
        return "连接超时";
    case ECONNREFUSED:
        return "拒绝连接";
#ifdef EDQUOT
    case EDQUOT:
        return "超出磁盘限额";
#endif
#ifdef ESTALE
    case ESTALE:
        return "过旧的文件控柄";
#endif
    default:
        return nullptr;
    }
}

} // namespace

std::string systemErrorText(int errnoValue)
{
    if (const char *text = chineseText(errnoValue))
        return text;
    return std::string(std::strerror(errnoValue)) + " (错误 " + std::to_string(errnoValue) + ")";
}

std::string systemErrorText(const std::error_code &error)
{
    // The system's codes are errno values here; its default_error_condition()
    // would leave out the ones std::errc has no name for (EDQUOT).
    if (error.category() == std::generic_category() || error.category() == std::system_category())
        return systemErrorText(error.value());
    return error.message();
}

} // namespace varnel
