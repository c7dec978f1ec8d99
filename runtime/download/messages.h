// The texts of the download service's log lines, as callers and users see
// them. Formats take %s (a text) and %d (a number) only.
#pragma once

namespace tavrel::download::msg {

// Progress (level 0).
inline constexpr char kResolving[] = "正在解析域名 [%s]";
inline constexpr char kResolvingProxy[] = "正在代理服务器解析域名 [%s]";
inline constexpr char kConnecting[] = "正在连接 [%s:%d]";
inline constexpr char kConnectingProxy[] = "正在连接代理服务器 [%s:%d]";
inline constexpr char kConnected[] = "连接 [%s:%d]成功";
inline constexpr char kBlockConnected[] = "连接[%s:%d]成功";
inline constexpr char kRedirectedTo[] = "重定向到 [%s]";
inline constexpr char kRetryAfter[] = "等待%d秒后重试";
inline constexpr char kAutoRenamed[] = "发现同名文件, 系统自动更名为%s";
inline constexpr char kUserRenamed[] = "发现同名文件, 用户更名为%s";
inline constexpr char kUserAbandoned[] = "发现同名文件, 用户选择放弃下载";
inline constexpr char kSingleStream[] = "服务器不支持分段下载, 改为单线程下载";

// Failures (level 3).
inline constexpr char kResolveFailed[] = "解析域名 [%s]出错";
inline constexpr char kResolveProxyFailed[] = "解析代理服务器域名 [%s]出错";
inline constexpr char kConnectTimedOut[] = "连接 [%s:%d]超时";
inline constexpr char kConnectFailed[] = "连接 [%s:%d]失败";
inline constexpr char kSendRequestFailed[] = "发送请求失败";
inline constexpr char kHeaderTooLong[] = "HTTP返回头部信息过长";
inline constexpr char kServerError[] = "出现错误";
inline constexpr char kUnsupportedStatus[] = "暂时不支持的返回, 返回号[%d]";
inline constexpr char kNoRedirectTarget[] = "获得重定向信息错误";
inline constexpr char kBadRedirect[] = "COOKIE过长或获得重定向信息错误或不支持的协议";
inline constexpr char kNoFileSize[] = "无法获得文件大小";
inline constexpr char kTooManyRenames[] = "发现同名文件，超过系统自动更名次数";
inline constexpr char kCreateFileFailed[] =
    "创建文件错误，超出最大支持下载长度或磁盘不可写或磁盘没有空间或同名文件已存在";
inline constexpr char kWrongRange[] = "返回的数据范围与请求不符 [%s]";
inline constexpr char kFtpLoginFailed[] = "登录FTP服务器失败, 返回号[%d]";
inline constexpr char kFtpCommandFailed[] = "FTP命令失败 [%s], 返回号[%d]";
inline constexpr char kFtpDataFailed[] = "建立FTP数据连接失败";
inline constexpr char kUnsupportedUpload[] = "暂时不支持此协议的上传 [%s]";
inline constexpr char kUploadSourceFailed[] = "打开要上传的本地文件错误 [%s]";
inline constexpr char kNotRealServer[] = "服务器不是Real或Helix服务器, 拒绝下载 [%s]";
inline constexpr char kStreamRefused[] = "服务器拒绝请求 [%s], 返回号[%s]";
inline constexpr char kStreamEndedEarly[] = "服务器提前结束了数据流";
inline constexpr char kStreamMalformed[] = "服务器返回的数据无法识别";
inline constexpr char kStreamWriteFailed[] = "写入文件错误";
inline constexpr char kFtpLineBreak[] = "FTP用户名、密码或路径中含有回车或换行符, 拒绝发送";

// Socket and receive failures.
inline constexpr char kSomeError[] = "有错误发生";
inline constexpr char kReceiveTimedOut[] = "接收数据超时";
inline constexpr char kReceiveFailed[] = "接收数据错误";
inline constexpr char kSendFailed[] = "发送数据错误";
inline constexpr char kWaitTimedOut[] = "等待接收或发送数据超时";
inline constexpr char kWaitFailed[] = "等待接收或发送数据错误";
inline constexpr char kUnknownError[] = "未知错误";

}  // namespace tavrel::download::msg
