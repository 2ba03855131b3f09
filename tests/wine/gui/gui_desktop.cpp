#include "gui_desktop.h"

#include <cstdio>
#include <cstdlib>

#include "gui_text.h"
#include "gui_wait.h"

namespace gui {
namespace {

// Owns a file handle.
class File {
public:
    explicit File(HANDLE handle) : m_Handle(handle) {}
    ~File()
    {
        if (m_Handle != INVALID_HANDLE_VALUE) {
            CloseHandle(m_Handle);
        }
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    HANDLE Get() const { return m_Handle; }
    bool Valid() const { return m_Handle != INVALID_HANDLE_VALUE; }

private:
    HANDLE m_Handle;
};

bool WriteWholeFile(const std::wstring& path, const std::string& content)
{
    File file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file.Valid() && WriteFile(file.Get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
           written == content.size();
}

bool ReadWholeFile(const std::wstring& path, std::string& content)
{
    File file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) {
        return false;
    }
    char buffer[1024];
    DWORD read = 0;
    if (!ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr)) {
        return false;
    }
    content.assign(buffer, read);
    return true;
}

// Hands one request to the service and waits for its answer: the service's
// exit status, then what it did or why it failed.
::testing::AssertionResult Ask(const std::string& request, DWORD timeoutMs)
{
    const std::wstring folder = RequestFolder();
    if (folder.empty()) {
        return ::testing::AssertionFailure()
               << "KORVEL_GUI_REQUESTS is not set: run this through tests/wine/run-wine-tests.sh, "
                  "which serves \"" << request << "\"";
    }
    static LONG counter = 0;
    const std::wstring base = folder + L"\\" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(InterlockedIncrement(&counter));
    const std::wstring written = base + L".tmp";
    const std::wstring asked = base + L".request";
    const std::wstring answered = base + L".done";
    // Through a rename, so that the service never reads half a request.
    if (!WriteWholeFile(written, request + "\n") || !MoveFileExW(written.c_str(), asked.c_str(), 0)) {
        return ::testing::AssertionFailure() << "cannot write the request \"" << request << "\" into "
                                             << Utf8(folder) << ", error " << GetLastError();
    }
    std::string answer;
    if (!WaitFor([&] { return ReadWholeFile(answered, answer); }, timeoutMs)) {
        DeleteFileW(asked.c_str());
        return ::testing::AssertionFailure() << "no answer to \"" << request << "\" within " << timeoutMs << " ms";
    }
    DeleteFileW(answered.c_str());
    while (!answer.empty() && (answer.back() == '\n' || answer.back() == '\r')) {
        answer.pop_back();
    }
    const int status = atoi(answer.c_str());
    if (status != 0) {
        return ::testing::AssertionFailure() << "\"" << request << "\" failed: " << answer;
    }
    return ::testing::AssertionSuccess() << answer.substr(answer.find(' ') + 1);
}

}  // namespace

std::wstring RequestFolder()
{
    wchar_t folder[MAX_PATH] = L"";
    const DWORD length = GetEnvironmentVariableW(L"KORVEL_GUI_REQUESTS", folder, MAX_PATH);
    return length == 0 || length >= MAX_PATH ? std::wstring() : std::wstring(folder, length);
}

::testing::AssertionResult PressChordThroughX(const std::string& chord, DWORD timeoutMs)
{
    return Ask("key " + chord, timeoutMs);
}

::testing::AssertionResult SaveScreenshot(const std::string& name, DWORD timeoutMs)
{
    return Ask("shot " + name, timeoutMs);
}

::testing::AssertionResult MapDriveToScratchFolder(char letter, bool mapped, DWORD timeoutMs)
{
    return Ask(std::string("drive ") + letter + (mapped ? " on" : " off"), timeoutMs);
}

}  // namespace gui
