// The manager shell's fixed texts: captions, messages and names that users,
// settings and other programs see. They are word for word what the product
// has always shown; do not reword them.
#pragma once

namespace tessaly::texts {

inline constexpr char16_t kAppTitle[] = u"Korvel多功能保险柜";

// The start-with-Windows entry.
inline constexpr char16_t kRunKeyPath[] = u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
// The uninstall deletes through this spelling; registry key names ignore
// case, so it names the same key.
inline constexpr char16_t kRunKeyPathForDelete[] =
    u"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr char16_t kRunValueName[] = u"tessaly";
inline constexpr char16_t kRunCommandSuffix[] = u"\\tessaly.exe /h";
inline constexpr char16_t kHiddenSwitch[] = u"/h";

// The driver service.
inline constexpr char16_t kServiceName[] = u"Vantor";
inline constexpr char16_t kDriverFile[] = u"\\Vantor.dll";
inline constexpr char16_t kLibraryFile[] = u"\\Pellix.dll";
inline constexpr char16_t kHelpFile[] = u"\\tessaly.chm";

// Vaults and their list lines.
inline constexpr char16_t kHolderFolder[] = u"\\autorun.inf\\";
inline constexpr char16_t kVaultPattern[] = u"*.sec";
inline constexpr char16_t kCapacityMarker[] = u"，保险柜容量:";
inline constexpr char16_t kDriveMarker[] = u"，盘符:";
inline constexpr char16_t kOpenMarker[] = u"，盘符:S:";
inline constexpr char16_t kVaultDrive[] = u"S";
inline constexpr char16_t kVaultDriveRoot[] = u"S:\\";

// Messages.
inline constexpr char16_t kDriverFailed[] = u"Korvel保险柜加密驱动加载失败！";
inline constexpr char16_t kNoVault[] = u"未检测到保险柜，请新建！";
inline constexpr char16_t kOpenVaultFirst[] = u"必须在打开保险柜后才能修改密码!";
inline constexpr char16_t kVaultClosed[] = u"Korvel保险柜S:已被关闭！";
inline constexpr char16_t kVaultInUse[] = u"检测到保险柜S:还在使用中，请关闭与[S:]相关的所有窗口和文件！";
inline constexpr char16_t kConfirmUninstall[] = u"请妥善备份保险柜文件，卸载后将无法打开保险柜，确认要卸载本软件吗？";

}  // namespace tessaly::texts
