#include "wine_support.h"

#include "support/stored_passwords.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <cwchar>

namespace wt {

bool OnWine()
{
    static const bool wine = [] {
        HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
    }();
    return wine;
}

void WineNote(const char* format, ...)
{
    char text[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    printf("[   WINE   ] %s\n", text);
    fflush(stdout);
}

Handle& Handle::operator=(Handle&& other) noexcept
{
    if (this != &other) {
        Reset();
        m_Handle = other.Release();
    }
    return *this;
}

HANDLE Handle::Release()
{
    HANDLE handle = m_Handle;
    m_Handle = INVALID_HANDLE_VALUE;
    return handle;
}

void Handle::Reset()
{
    if (Valid()) {
        CloseHandle(m_Handle);
    }
    m_Handle = INVALID_HANDLE_VALUE;
}

ServiceHandle::~ServiceHandle()
{
    if (m_Handle != nullptr) {
        CloseServiceHandle(m_Handle);
    }
}

void PrintTo(const CallResult& result, std::ostream* out)
{
    if (result.ok) {
        *out << "success, " << result.bytes << " bytes";
    } else {
        *out << "failure, error " << result.error;
    }
}

::testing::AssertionResult Succeeds(const CallResult& result)
{
    if (result.ok) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "the call failed with error " << result.error;
}

::testing::AssertionResult FailsWith(const CallResult& result, DWORD error)
{
    if (result.ok) {
        return ::testing::AssertionFailure() << "the call succeeded (" << result.bytes
                                             << " bytes); expected error " << error;
    }
    if (result.error != error) {
        return ::testing::AssertionFailure() << "the call failed with error " << result.error << "; expected error "
                                             << error;
    }
    return ::testing::AssertionSuccess();
}

// --- the driver's service ---------------------------------------------------

ServiceHandle OpenManager()
{
    return ServiceHandle(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
}

void ExpectDriverServiceConfig(SC_HANDLE service)
{
    alignas(8) BYTE buffer[8192];
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer);
    DWORD needed = 0;
    ASSERT_TRUE(QueryServiceConfigW(service, config, sizeof buffer, &needed)) << GetLastError();
    EXPECT_EQ(config->dwServiceType, static_cast<DWORD>(SERVICE_KERNEL_DRIVER));
    EXPECT_EQ(config->dwStartType, static_cast<DWORD>(SERVICE_AUTO_START));
    EXPECT_EQ(std::wstring(config->lpBinaryPathName), std::wstring(kDriverPath));
}

DWORD ServiceState(const wchar_t* name)
{
    ServiceHandle manager = OpenManager();
    if (!manager.Valid()) {
        return 0;
    }
    ServiceHandle service(OpenServiceW(manager.Get(), name, SERVICE_QUERY_STATUS));
    SERVICE_STATUS status{};
    if (!service.Valid() || !QueryServiceStatus(service.Get(), &status)) {
        return 0;
    }
    return status.dwCurrentState;
}

bool WaitForServiceState(SC_HANDLE service, DWORD wanted, DWORD timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        SERVICE_STATUS status{};
        if (!QueryServiceStatus(service, &status)) {
            return false;
        }
        if (status.dwCurrentState == wanted) {
            return true;
        }
        if (GetTickCount64() >= deadline) {
            return false;
        }
        Sleep(50);
    }
}

std::string InstallAndStartDriver()
{
    ServiceHandle manager = OpenManager();
    if (!manager.Valid()) {
        return "OpenSCManagerW failed with error " + std::to_string(GetLastError());
    }
    ServiceHandle service(CreateServiceW(manager.Get(), kServiceName, nullptr, SERVICE_ALL_ACCESS,
                                         SERVICE_KERNEL_DRIVER, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
                                         kDriverPath, nullptr, nullptr, nullptr, nullptr, nullptr));
    if (!service.Valid()) {
        const DWORD error = GetLastError();
        if (error != ERROR_SERVICE_EXISTS) {
            return "CreateServiceW failed with error " + std::to_string(error);
        }
    }
    ServiceHandle opened(service.Valid() ? nullptr : OpenServiceW(manager.Get(), kServiceName, SERVICE_ALL_ACCESS));
    const SC_HANDLE handle = service.Valid() ? service.Get() : opened.Get();
    if (handle == nullptr) {
        return "OpenServiceW failed with error " + std::to_string(GetLastError());
    }
    if (!StartServiceW(handle, 0, nullptr) && GetLastError() != ERROR_SERVICE_ALREADY_RUNNING) {
        return "StartServiceW failed with error " + std::to_string(GetLastError());
    }
    if (!WaitForServiceState(handle, SERVICE_RUNNING, 20000)) {
        return "the service did not reach the running state";
    }
    return {};
}

void StopAndDeleteDriver()
{
    ServiceHandle manager = OpenManager();
    if (!manager.Valid()) {
        return;
    }
    ServiceHandle service(OpenServiceW(manager.Get(), kServiceName, SERVICE_ALL_ACCESS));
    if (!service.Valid()) {
        return;
    }
    SERVICE_STATUS status{};
    if (ControlService(service.Get(), SERVICE_CONTROL_STOP, &status)) {
        WaitForServiceState(service.Get(), SERVICE_STOPPED, 20000);
    }
    DeleteService(service.Get());
}

// --- the driver's devices ---------------------------------------------------

std::wstring UnitPath(unsigned unit)
{
    return L"\\\\.\\" VANTOR_DEVICE_BASE_NAME + std::to_wstring(unit);
}

Handle OpenDevice(const std::wstring& path, DWORD* error)
{
    Handle device(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_NO_BUFFERING, nullptr));
    if (error != nullptr) {
        *error = device.Valid() ? ERROR_SUCCESS : GetLastError();
    }
    return device;
}

namespace {

CallResult Outcome(BOOL ok, DWORD bytes)
{
    CallResult result;
    result.ok = ok != FALSE;
    result.error = ok ? ERROR_SUCCESS : GetLastError();
    result.bytes = bytes;
    return result;
}

OVERLAPPED At(uint64_t offset)
{
    OVERLAPPED position{};
    position.Offset = static_cast<DWORD>(offset);
    position.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return position;
}

}  // namespace

CallResult Control(HANDLE device, DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize)
{
    DWORD bytes = 0;
    const BOOL ok = DeviceIoControl(device, code, const_cast<void*>(in), inSize, out, outSize, &bytes, nullptr);
    return Outcome(ok, bytes);
}

CallResult ReadAt(HANDLE device, uint64_t offset, void* buffer, DWORD length)
{
    OVERLAPPED position = At(offset);
    DWORD bytes = 0;
    const BOOL ok = ReadFile(device, buffer, length, &bytes, &position);
    return Outcome(ok, bytes);
}

CallResult WriteAt(HANDLE device, uint64_t offset, const void* buffer, DWORD length)
{
    OVERLAPPED position = At(offset);
    DWORD bytes = 0;
    const BOOL ok = WriteFile(device, buffer, length, &bytes, &position);
    return Outcome(ok, bytes);
}

OPENDISKFILE_INFO OpenRecord(const std::wstring& dosPath, int64_t size, const wchar_t* password)
{
    OPENDISKFILE_INFO record;
    memset(&record, 0, sizeof record);
    record.FileSize = size;
    const std::wstring ntPath = L"\\??\\" + dosPath;
    wcsncpy(record.FileName, ntPath.c_str(), VANTOR_FILE_NAME_CHARS - 1);
    wcsncpy(record.Password, password, VANTOR_PASSWORD_CHARS - 1);
    return record;
}

CallResult OpenVault(HANDLE device, const std::wstring& dosPath, int64_t size, const wchar_t* password,
                     DWORD recordSize)
{
    // Room for a request one byte longer than the record.
    struct {
        OPENDISKFILE_INFO record;
        uint8_t spare[8];
    } request{};
    request.record = OpenRecord(dosPath, size, password);
    return Control(device, IOCTL_OPENDISKFILE, &request, recordSize, nullptr, 0);
}

CallResult CloseVault(HANDLE device)
{
    return Control(device, IOCTL_CLOSEDISKFILE, nullptr, 0, nullptr, 0);
}

CallResult ChangePassword(HANDLE device, const wchar_t* password, DWORD recordSize)
{
    struct {
        NewPassword record;
        uint8_t spare[8];
    } request{};
    wcsncpy(request.record.Password, password, VANTOR_PASSWORD_CHARS - 1);
    return Control(device, IOCTL_CHANGEPWD, &request, recordSize, nullptr, 0);
}

CallResult DiskLength(HANDLE device, uint64_t& length)
{
    GET_LENGTH_INFORMATION info{};
    const CallResult result = Control(device, IOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, &info, sizeof info);
    length = static_cast<uint64_t>(info.Length.QuadPart);
    return result;
}

void EnsureUnmounted(unsigned unit)
{
    Handle device = OpenDevice(UnitPath(unit));
    if (device.Valid()) {
        CloseVault(device.Get());
    }
}

AlignedBuffer::AlignedBuffer(size_t size)
    : m_Data(static_cast<uint8_t*>(VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE))),
      m_Size(size)
{
    if (m_Data == nullptr) {
        ADD_FAILURE() << "VirtualAlloc of " << size << " bytes failed with error " << GetLastError();
        m_Size = 0;
    }
}

AlignedBuffer::~AlignedBuffer()
{
    if (m_Data != nullptr) {
        VirtualFree(m_Data, 0, MEM_RELEASE);
    }
}

void FillPattern(uint8_t* data, size_t size, uint64_t diskOffset, uint32_t seed)
{
    for (size_t i = 0; i < size; ++i) {
        const uint64_t at = diskOffset + i;
        // Mixes the offset's sector, its place in the sector and the seed.
        uint32_t value = static_cast<uint32_t>(at * 2654435761u) ^ static_cast<uint32_t>(at >> 9) ^ (seed * 40503u);
        value ^= value >> 13;
        data[i] = static_cast<uint8_t>(value | 1);  // never zero: a zeroed block never passes for data
    }
}

std::vector<uint8_t> Pattern(size_t size, uint64_t diskOffset, uint32_t seed)
{
    std::vector<uint8_t> bytes(size);
    FillPattern(bytes.data(), size, diskOffset, seed);
    return bytes;
}

// --- the vault file -----------------------------------------------------------

PasswordBlock PasswordField(const wchar_t* password)
{
    PasswordBlock field{};
    for (size_t i = 0; i < VANTOR_PASSWORD_CHARS - 1 && password[i] != L'\0'; ++i) {
        const auto unit = static_cast<uint16_t>(password[i]);
        field[2 * i] = static_cast<uint8_t>(unit & 0xFF);
        field[2 * i + 1] = static_cast<uint8_t>(unit >> 8);
    }
    return field;
}

PasswordBlock Scrambled(const wchar_t* password)
{
    std::string ascii;
    for (size_t i = 0; password[i] != L'\0'; ++i) {
        ascii += static_cast<char>(password[i]);
    }
    const korvel::test::StoredPassword* row = korvel::test::FindStoredPassword(ascii.c_str());
    if (row == nullptr) {
        ADD_FAILURE() << "no stored form of \"" << ascii << "\" in support/stored_passwords.h";
        return PasswordBlock{};
    }
    return row->stored;
}

std::wstring ScratchPath(const wchar_t* fileName)
{
    const std::wstring folder = std::wstring(kProgramFolder) + L"\\wine-tests";
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder + L"\\" + fileName;
}

bool FileExists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void RemoveFile(const std::wstring& path)
{
    if (FileExists(path) && !DeleteFileW(path.c_str())) {
        ADD_FAILURE() << "cannot remove a scratch file, error " << GetLastError();
    }
}

uint64_t FileLength(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
        return UINT64_MAX;
    }
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::vector<uint8_t> ReadFileRange(const std::wstring& path, uint64_t offset, size_t length)
{
    std::vector<uint8_t> bytes(length);
    Handle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) {
        ADD_FAILURE() << "cannot open the vault file for reading, error " << GetLastError();
        return {};
    }
    size_t done = 0;
    while (done < length) {
        OVERLAPPED position = At(offset + done);
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(length - done, 1u << 20));
        DWORD bytesRead = 0;
        if (!ReadFile(file.Get(), bytes.data() + done, chunk, &bytesRead, &position) || bytesRead == 0) {
            ADD_FAILURE() << "reading the vault file at " << offset + done << " failed, error " << GetLastError();
            return {};
        }
        done += bytesRead;
    }
    return bytes;
}

DWORD TryOpenForReading(const std::wstring& path)
{
    Handle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.Valid() ? ERROR_SUCCESS : GetLastError();
}

std::string Narrow(const wchar_t* text)
{
    std::string narrow;
    for (; *text != L'\0'; ++text) {
        narrow += *text < 0x80 ? static_cast<char>(*text) : '?';
    }
    return narrow;
}

size_t NonZeroBytes(const std::vector<uint8_t>& bytes, size_t from, size_t to)
{
    size_t count = 0;
    for (size_t i = from; i < to && i < bytes.size(); ++i) {
        count += bytes[i] != 0 ? 1 : 0;
    }
    return count;
}

}  // namespace wt
