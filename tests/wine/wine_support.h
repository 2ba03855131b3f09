// What the Wine test programs share: where the shipping binaries live in
// the prefix, the service and device calls as a client of the driver makes
// them, the request records, and the expected password block.
#pragma once

#include <windows.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "vantor_ioctl.h"

namespace wt {

// run-wine-tests.sh copies the binaries into the program folder.
inline const wchar_t* const kProgramFolder = L"C:\\Software";
inline const wchar_t* const kDriverPath = L"C:\\Software\\Vantor.dll";
inline const wchar_t* const kLibraryPath = L"C:\\Software\\Pellix.dll";
inline const wchar_t* const kServiceName = L"Vantor";

// Win32 errors that the driver's NTSTATUS values become in the caller.
constexpr DWORD kErrorInvalidFunction = 1;     // STATUS_INVALID_DEVICE_REQUEST
constexpr DWORD kErrorFileNotFound = 2;        // STATUS_OBJECT_NAME_NOT_FOUND
constexpr DWORD kErrorNotReady = 21;           // STATUS_NO_MEDIA_IN_DEVICE
constexpr DWORD kErrorSharingViolation = 32;   // STATUS_SHARING_VIOLATION
constexpr DWORD kErrorInvalidParameter = 87;   // STATUS_INVALID_PARAMETER
constexpr DWORD kErrorInsufficientBuffer = 122;  // STATUS_BUFFER_TOO_SMALL
constexpr DWORD kErrorBusy = 170;

constexpr DWORD kSectorSize = 512;
constexpr uint64_t kHeaderSize = 1024;  // bytes of the vault file before the data area
constexpr uint64_t kMiB = 1024 * 1024;

// True when the program runs under Wine: its ntdll exports wine_get_version.
bool OnWine();
// Writes one line into the test output about something Wine does not do as
// Windows does, so that a reader sees what was not checked and why.
void WineNote(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Owns a kernel object handle.
class Handle {
public:
    Handle() = default;
    explicit Handle(HANDLE handle) : m_Handle(handle) {}
    ~Handle() { Reset(); }
    Handle(Handle&& other) noexcept : m_Handle(other.Release()) {}
    Handle& operator=(Handle&& other) noexcept;
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    bool Valid() const { return m_Handle != INVALID_HANDLE_VALUE && m_Handle != nullptr; }
    HANDLE Get() const { return m_Handle; }
    HANDLE Release();
    void Reset();

private:
    HANDLE m_Handle = INVALID_HANDLE_VALUE;
};

// Owns a service control manager handle.
class ServiceHandle {
public:
    ServiceHandle() = default;
    explicit ServiceHandle(SC_HANDLE handle) : m_Handle(handle) {}
    ~ServiceHandle();
    ServiceHandle(ServiceHandle&& other) noexcept : m_Handle(other.m_Handle) { other.m_Handle = nullptr; }
    ServiceHandle(const ServiceHandle&) = delete;
    ServiceHandle& operator=(const ServiceHandle&) = delete;

    bool Valid() const { return m_Handle != nullptr; }
    SC_HANDLE Get() const { return m_Handle; }

private:
    SC_HANDLE m_Handle = nullptr;
};

// The outcome of one Win32 call: success, the thread's last error after a
// failure, and the byte count the call reported.
struct CallResult {
    bool ok = false;
    DWORD error = 0;
    DWORD bytes = 0;
};
void PrintTo(const CallResult& result, std::ostream* out);

// Assertions on a CallResult, with the error in the message.
::testing::AssertionResult Succeeds(const CallResult& result);
::testing::AssertionResult FailsWith(const CallResult& result, DWORD error);

// --- the driver's service ---------------------------------------------------

ServiceHandle OpenManager();
// The service's current state, or 0 when it cannot be opened or queried.
DWORD ServiceState(const wchar_t* name);
// The service is the driver's: a kernel driver that starts automatically
// from C:\Software\Vantor.dll. `service` needs SERVICE_QUERY_CONFIG.
void ExpectDriverServiceConfig(SC_HANDLE service);
// Polls until the service reaches the state or the time is up.
bool WaitForServiceState(SC_HANDLE service, DWORD wanted, DWORD timeoutMs);
// Creates the kernel service for the driver in the program folder (or opens
// it when it exists) and starts it. Returns an empty text on success, else
// what failed.
std::string InstallAndStartDriver();
// Stops the service and marks it for deletion; reports nothing.
void StopAndDeleteDriver();

// --- the driver's devices ---------------------------------------------------

std::wstring UnitPath(unsigned unit);  // \\.\VantorDevice<n>
// Opens a device or volume path as the control library does: read and
// write, shared, unbuffered.
Handle OpenDevice(const std::wstring& path, DWORD* error = nullptr);

CallResult Control(HANDLE device, DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize);
// Positioned unbuffered transfers; offset, length and buffer are sector aligned.
CallResult ReadAt(HANDLE device, uint64_t offset, void* buffer, DWORD length);
CallResult WriteAt(HANDLE device, uint64_t offset, const void* buffer, DWORD length);

// The open request: the record built as the control library builds it, the
// rest of it zero. recordSize other than 560 sends a short or long request.
OPENDISKFILE_INFO OpenRecord(const std::wstring& dosPath, int64_t size, const wchar_t* password);
CallResult OpenVault(HANDLE device, const std::wstring& dosPath, int64_t size, const wchar_t* password,
                     DWORD recordSize = sizeof(OPENDISKFILE_INFO));
CallResult CloseVault(HANDLE device);
CallResult ChangePassword(HANDLE device, const wchar_t* password, DWORD recordSize = sizeof(NewPassword));
// The mounted disk size through IOCTL_DISK_GET_LENGTH_INFO.
CallResult DiskLength(HANDLE device, uint64_t& length);
// Closes whatever vault the unit serves; an unmounted unit is left alone.
void EnsureUnmounted(unsigned unit);

// Page-aligned memory, as unbuffered transfers need.
class AlignedBuffer {
public:
    explicit AlignedBuffer(size_t size);
    ~AlignedBuffer();
    AlignedBuffer(const AlignedBuffer&) = delete;
    AlignedBuffer& operator=(const AlignedBuffer&) = delete;

    uint8_t* Data() { return m_Data; }
    const uint8_t* Data() const { return m_Data; }
    DWORD Size() const { return static_cast<DWORD>(m_Size); }

private:
    uint8_t* m_Data;
    size_t m_Size;
};

// Bytes that differ from offset to offset and from seed to seed, so that a
// block written at the wrong place or a stale block is noticed.
void FillPattern(uint8_t* data, size_t size, uint64_t diskOffset, uint32_t seed);
std::vector<uint8_t> Pattern(size_t size, uint64_t diskOffset, uint32_t seed);

// --- the vault file -----------------------------------------------------------

using PasswordBlock = std::array<uint8_t, 32>;
// The 32-byte password field as a client sends it: UTF-16LE text, a NUL,
// zeros after it.
PasswordBlock PasswordField(const wchar_t* password);
// How a vault file stores `password` (ASCII), from the tests' table of
// known answers; a password missing from the table fails the test.
PasswordBlock Scrambled(const wchar_t* password);

// A file in the tests' scratch folder under the program folder (made on first use).
std::wstring ScratchPath(const wchar_t* fileName);
bool FileExists(const std::wstring& path);
void RemoveFile(const std::wstring& path);
// Length of a file, or UINT64_MAX when it cannot be opened.
uint64_t FileLength(const std::wstring& path);
// Reads a range of a file through an ordinary shared open; fails the test
// when the file cannot be read.
std::vector<uint8_t> ReadFileRange(const std::wstring& path, uint64_t offset, size_t length);
// Opens a file for reading with full sharing; the error when that fails.
DWORD TryOpenForReading(const std::wstring& path);

// ASCII text of a wide string, for test messages.
std::string Narrow(const wchar_t* text);

// Counts the bytes that are not zero.
size_t NonZeroBytes(const std::vector<uint8_t>& bytes, size_t from, size_t to);

}  // namespace wt
