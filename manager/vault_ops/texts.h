// The vault dialogs' fixed texts, word for word what the product has always
// shown; do not reword them.
#pragma once

namespace tessaly::texts {

// Create.
inline constexpr char16_t kBadDriveLetter[] = u"选择的磁盘分区符号不正确!";
inline constexpr char16_t kNoDrive[] = u"尚未指定创建保险柜所在盘的盘符!";
inline constexpr char16_t kNoName[] = u"保险柜名称不能为空!";
inline constexpr char16_t kNoSize[] = u"请指定保险柜容量大小!";
inline constexpr char16_t kSizeAboveFree[] = u"保险柜的最大容量不能超过";
inline constexpr char16_t kPasswordTooLong[] = u"保险柜密码长度不能超过15位！";
inline constexpr char16_t kConfirmCreateHead[] = u"创建此保险柜大约耗时";
inline constexpr char16_t kConfirmCreateTail[] = u"，一旦开始创建切勿中断，请确认要继续吗？--";
inline constexpr char16_t kHolderFailedHead[] = u"创建保险柜文件夹[";
inline constexpr char16_t kHolderFailedTail[] = u"\\autorun.inf]失败!";
inline constexpr char16_t kCreateFailedHead[] = u"创建保险柜失败，请删除保险柜属主文件";
inline constexpr char16_t kCreateFailedTail[] = u"后在管理员账户下重试一次!";
inline constexpr char16_t kCreatingHead[] = u"正在创建保险柜，约耗时";
inline constexpr char16_t kSeconds[] = u"秒钟";
inline constexpr char16_t kMinutes[] = u"分钟";
inline constexpr char16_t kTotalsAtLoad[] = u"总容量：  ，剩余：";
inline constexpr char16_t kLimitAtLoad[] = u"G，最大不超过剩余容量";
inline constexpr char16_t kHolderName[] = u"\\autorun.inf";
inline constexpr char16_t kGuardFolder[] = u"\\autorun.inf\\勿删该文件夹...\\";
inline constexpr char16_t kFileSystem[] = u"NTFS";

// Format progress.
inline constexpr char16_t kProgressHead[] = u"正在创建保险柜：";
inline constexpr char16_t kProgressDone[] = u"正在创建保险柜：100%";
inline constexpr char16_t kFormatFailed[] = u"创建保险柜失败!";

// Open.
inline constexpr char16_t kVaultOnS[] = u"保险柜必须使用的S盘符已被占用!";
inline constexpr char16_t kWrongDriveHead[] = u"保险柜无法创建在[";
inline constexpr char16_t kMissingFileHead[] = u"找不到保险柜属主文件[";
inline constexpr char16_t kBracketTail[] = u"]!";
inline constexpr char16_t kOpenRefused[] = u"打开保险柜失败，请检查密码是否正确?!";

// Change password.
inline constexpr char16_t kOldPasswordWrong[] = u"旧密码不正确，请重输！";
inline constexpr char16_t kNewPasswordTooLong[] = u"密码长度不能超过15位！";
inline constexpr char16_t kNewPasswordsDiffer[] = u"两次输入的新密码不一致！";
inline constexpr char16_t kNewPasswordEmpty[] = u"新密码不能为空，请输入新密码！";
inline constexpr char16_t kNewPasswordTooShort[] = u"为了安全起见，输入的新密码必须大于8个字符！";
inline constexpr char16_t kNewPasswordCaret[] = u"密码里不允许使用特殊字符“^”！";
inline constexpr char16_t kConfirmChange[] = u"确认要修改密码吗？";
inline constexpr char16_t kChangedHead[] = u"密码修改成功，请务必记录您的新密码为";
inline constexpr char16_t kChangedTail[] = u"，若遗忘密码将无法打开保险柜！";
inline constexpr char16_t kChangeFailed[] = u"密码修改失败！";

}  // namespace tessaly::texts
