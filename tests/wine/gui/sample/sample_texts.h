// The sample program's texts, in Simplified Chinese as the product's are.
// The self-test compares what it reads from the windows with these.
#pragma once

namespace sample {

inline const wchar_t* const kCaption = L"样品保险柜";
inline const wchar_t* const kTrayTip = L"样品保险柜：托盘";
inline const wchar_t* const kVaults[] = {L"我的文件", L"照片库", L"工作资料"};
inline const wchar_t* const kAskButton = L"保存名称…";
inline const wchar_t* const kPictureLabel = L"图片按钮";

inline const wchar_t* const kQuestionCaption = L"确认保存";
inline const wchar_t* const kQuestionPrefix = L"要把名称保存为“";  // followed by the name and kQuestionSuffix
inline const wchar_t* const kQuestionSuffix = L"”吗？";

// The status line says what the program last saw, one prefix per kind of event.
inline const wchar_t* const kStatusReady = L"就绪";
inline const wchar_t* const kStatusSelected = L"已选择：";
inline const wchar_t* const kStatusOpened = L"已打开：";
inline const wchar_t* const kStatusSaved = L"已保存：";
inline const wchar_t* const kStatusNotSaved = L"未保存";
inline const wchar_t* const kStatusPicture = L"图片按钮：按下 ";  // followed by the press count
inline const wchar_t* const kStatusMenu = L"菜单：";              // followed by the chosen item's text

inline const wchar_t* const kMenuOpen = L"打开保险柜(&O)";
inline const wchar_t* const kMenuClose = L"关闭保险柜(&C)";
inline const wchar_t* const kMenuDisabled = L"修改密码";
inline const wchar_t* const kMenuExit = L"退出(&X)";

}  // namespace sample
