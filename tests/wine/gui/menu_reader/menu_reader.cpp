// The DLL that the harness hooks into the thread of a pop-up menu; see
// menu_reader_protocol.h.
#include <windows.h>

#include "menu_reader_protocol.h"

namespace {

// Owns a mapped view of a named block.
class MappedBlock {
public:
    explicit MappedBlock(LPARAM number)
    {
        wchar_t name[64];
        wsprintfW(name, L"%s%lu", KORVEL_MENU_READER_BLOCK_PREFIX, static_cast<unsigned long>(number));
        m_Mapping = OpenFileMappingW(FILE_MAP_WRITE, FALSE, name);
        if (m_Mapping != nullptr) {
            m_Block = static_cast<KorvelMenuReaderBlock*>(
                MapViewOfFile(m_Mapping, FILE_MAP_WRITE, 0, 0, sizeof(KorvelMenuReaderBlock)));
        }
    }
    ~MappedBlock()
    {
        if (m_Block != nullptr) {
            UnmapViewOfFile(m_Block);
        }
        if (m_Mapping != nullptr) {
            CloseHandle(m_Mapping);
        }
    }
    MappedBlock(const MappedBlock&) = delete;
    MappedBlock& operator=(const MappedBlock&) = delete;

    KorvelMenuReaderBlock* Get() const { return m_Block; }

private:
    HANDLE m_Mapping = nullptr;
    KorvelMenuReaderBlock* m_Block = nullptr;
};

void CopyMenu(HMENU menu, KorvelMenuReaderBlock& block)
{
    const int count = GetMenuItemCount(menu);
    if (count < 0) {
        block.error = static_cast<LONG>(GetLastError());
        return;
    }
    block.count = count;
    for (int position = 0; position < count && position < KORVEL_MENU_READER_MAX_ITEMS; ++position) {
        KorvelMenuReaderItem& item = block.items[position];
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
        info.dwTypeData = item.text;
        info.cch = KORVEL_MENU_READER_TEXT_CHARS;
        if (!GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &info)) {
            block.error = static_cast<LONG>(GetLastError());
            return;
        }
        item.type = info.fType;
        item.state = info.fState;
        item.id = info.wID;
        item.hasSubmenu = info.hSubMenu != nullptr;
    }
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK KorvelMenuReaderHook(int code, WPARAM wParam, LPARAM lParam)
{
    static const UINT readMenu = RegisterWindowMessageW(KORVEL_MENU_READER_MESSAGE);
    const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && message != nullptr && message->message == readMenu) {
        MappedBlock block(message->lParam);
        if (block.Get() != nullptr) {
            CopyMenu(reinterpret_cast<HMENU>(message->wParam), *block.Get());
            InterlockedExchange(&block.Get()->done, 1);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
