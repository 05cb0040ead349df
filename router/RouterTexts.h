#pragma once

// The login button's captions and the notices' caption, as every way to the router shows them.
inline constexpr char kLoginCaption[] = "登录";
inline constexpr char kLoggingInCaption[] = "正在登录";
inline constexpr char kLoggedInCaption[] = "已登录";
inline constexpr char kNoticeCaption[] = "提示";
inline constexpr char kTimedChangeFailedTitle[] = "定时更换IP失败";
inline constexpr char kNoAnswerText[] = "无法连接路由器，请检查网关地址。";
