// The kernel's file calls on the host: dispositions, names, share modes
// (also across processes), access, unbuffered I/O and full volumes.
#include "support/scratch_drive.h"

#include <ntifs.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/fsuid.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <thread>

namespace {

using korvel::test::ReadHostFile;
using korvel::test::Wide;
using korvel::test::WriteHostFile;

constexpr ULONG kSync = FILE_SYNCHRONOUS_IO_NONALERT | FILE_NON_DIRECTORY_FILE;
constexpr ULONG kUnbuffered = kSync | FILE_NO_INTERMEDIATE_BUFFERING;
constexpr ACCESS_MASK kReadWrite = GENERIC_READ | GENERIC_WRITE;
constexpr ULONG_PTR kUntouched = 0xdeadbeef;

struct OpenResult {
    NTSTATUS status;
    HANDLE handle;
    IO_STATUS_BLOCK iosb;
};

OpenResult Open(const wchar_t* path, ACCESS_MASK access, ULONG share, ULONG disposition, ULONG options = kSync,
                ULONG attributes = OBJ_CASE_INSENSITIVE)
{
    UNICODE_STRING name;
    RtlInitUnicodeString(&name, path);
    OBJECT_ATTRIBUTES oa;
    InitializeObjectAttributes(&oa, &name, attributes, nullptr, nullptr);
    OpenResult result{};
    result.iosb.Status = static_cast<NTSTATUS>(kUntouched);
    result.iosb.Information = kUntouched;
    result.handle = nullptr;
    result.status = ZwCreateFile(&result.handle, access, &oa, &result.iosb, nullptr, FILE_ATTRIBUTE_NORMAL, share,
                                 disposition, options, nullptr, 0);
    return result;
}

// Closes the handle of a successful open when the test is done with it.
struct Opened {
    explicit Opened(OpenResult r) : result(r) {}
    ~Opened()
    {
        if (NT_SUCCESS(result.status)) {
            EXPECT_EQ(ZwClose(result.handle), STATUS_SUCCESS);
        }
    }
    Opened(const Opened&) = delete;
    Opened& operator=(const Opened&) = delete;
    OpenResult result;
    HANDLE handle() const { return result.handle; }
};

NTSTATUS ReadAt(HANDLE file, LONGLONG offset, void* buffer, ULONG length, ULONG_PTR& bytes)
{
    IO_STATUS_BLOCK iosb{};
    iosb.Information = kUntouched;
    LARGE_INTEGER at;
    at.QuadPart = offset;
    NTSTATUS status = ZwReadFile(file, nullptr, nullptr, nullptr, &iosb, buffer, length, &at, nullptr);
    bytes = iosb.Information;
    return status;
}

NTSTATUS WriteAt(HANDLE file, LONGLONG offset, const void* buffer, ULONG length)
{
    IO_STATUS_BLOCK iosb{};
    LARGE_INTEGER at;
    at.QuadPart = offset;
    return ZwWriteFile(file, nullptr, nullptr, nullptr, &iosb, const_cast<void*>(buffer), length, &at, nullptr);
}

NTSTATUS SetLength(HANDLE file, LONGLONG length)
{
    IO_STATUS_BLOCK iosb{};
    FILE_END_OF_FILE_INFORMATION end{};
    end.EndOfFile.QuadPart = length;
    return ZwSetInformationFile(file, &iosb, &end, sizeof end, FileEndOfFileInformation);
}

LONGLONG QueryLength(HANDLE file)
{
    IO_STATUS_BLOCK iosb{};
    FILE_STANDARD_INFORMATION info{};
    EXPECT_EQ(ZwQueryInformationFile(file, &iosb, &info, sizeof info, FileStandardInformation), STATUS_SUCCESS);
    EXPECT_EQ(iosb.Information, sizeof info);
    return info.EndOfFile.QuadPart;
}

class ZwFileTest : public korvel::test::ScratchDriveTest {};

TEST_F(ZwFileTest, DispositionsCreateOpenAndOverwrite)
{
    struct Case {
        const char* label;
        ULONG disposition;
        bool exists;
        NTSTATUS status;
        ULONG_PTR information;
        std::size_t lengthAfter;
    };
    const Case cases[] = {
        {"open_if_new", FILE_OPEN_IF, false, STATUS_SUCCESS, FILE_CREATED, 0},
        {"open_if_existing", FILE_OPEN_IF, true, STATUS_SUCCESS, FILE_OPENED, 1000},
        {"open_existing", FILE_OPEN, true, STATUS_SUCCESS, FILE_OPENED, 1000},
        {"open_missing", FILE_OPEN, false, STATUS_OBJECT_NAME_NOT_FOUND, kUntouched, 0},
        {"create_new", FILE_CREATE, false, STATUS_SUCCESS, FILE_CREATED, 0},
        {"create_existing", FILE_CREATE, true, STATUS_OBJECT_NAME_COLLISION, kUntouched, 1000},
        {"overwrite_existing", FILE_OVERWRITE, true, STATUS_SUCCESS, FILE_OVERWRITTEN, 0},
        {"overwrite_missing", FILE_OVERWRITE, false, STATUS_OBJECT_NAME_NOT_FOUND, kUntouched, 0},
        {"overwrite_if_new", FILE_OVERWRITE_IF, false, STATUS_SUCCESS, FILE_CREATED, 0},
        {"supersede_existing", FILE_SUPERSEDE, true, STATUS_SUCCESS, FILE_SUPERSEDED, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string path = HostPath(std::string(c.label) + ".bin");
        if (c.exists) {
            WriteHostFile(path, std::vector<std::uint8_t>(1000, 7));
        }
        {
            Opened file(Open(NtPath(std::string(c.label) + ".bin"), kReadWrite, 0, c.disposition));
            EXPECT_EQ(file.result.status, c.status);
            EXPECT_EQ(file.result.iosb.Information, c.information);
        }
        EXPECT_EQ(korvel::test::HostFileExists(path), c.exists || NT_SUCCESS(c.status));
        EXPECT_EQ(ReadHostFile(path).size(), c.lengthAfter);
    }
}

TEST_F(ZwFileTest, NamesResolveThroughTheDriveTableAsOnNtfs)
{
    ASSERT_EQ(mkdir(HostPath("Holder").c_str(), 0755), 0);
    WriteHostFile(HostPath("Holder/Vault.SEC"), std::vector<std::uint8_t>(10, 1));
    host::MapDrive('D', host::Drive{m_Folder.Path() + "/Holder", host::DriveType::Removable, std::nullopt});
    struct Case {
        const char* label;
        std::string path;
        ULONG attributes;
        NTSTATUS status;
    };
    const Case cases[] = {
        {"exact_case", "\\??\\C:\\Holder\\Vault.SEC", OBJ_CASE_INSENSITIVE, STATUS_SUCCESS},
        {"other_case", "\\??\\c:\\HOLDER\\vault.sec", OBJ_CASE_INSENSITIVE, STATUS_SUCCESS},
        {"other_case_sensitive", "\\??\\C:\\holder\\vault.sec", 0, STATUS_OBJECT_PATH_NOT_FOUND},
        {"second_drive", "\\??\\D:\\vault.sec", OBJ_CASE_INSENSITIVE, STATUS_SUCCESS},
        {"missing_file", "\\??\\C:\\Holder\\other.sec", OBJ_CASE_INSENSITIVE, STATUS_OBJECT_NAME_NOT_FOUND},
        {"missing_folder", "\\??\\C:\\Nowhere\\vault.sec", OBJ_CASE_INSENSITIVE, STATUS_OBJECT_PATH_NOT_FOUND},
        {"file_as_folder", "\\??\\C:\\Holder\\Vault.SEC\\x", OBJ_CASE_INSENSITIVE, STATUS_OBJECT_PATH_NOT_FOUND},
        {"unmapped_drive", "\\??\\Q:\\vault.sec", OBJ_CASE_INSENSITIVE, STATUS_OBJECT_PATH_NOT_FOUND},
        {"folder_as_file", "\\??\\C:\\Holder", OBJ_CASE_INSENSITIVE, STATUS_FILE_IS_A_DIRECTORY},
        {"parent_step", "\\??\\C:\\Holder\\..\\Holder\\Vault.SEC", OBJ_CASE_INSENSITIVE, STATUS_OBJECT_NAME_INVALID},
        {"wildcard", "\\??\\C:\\Holder\\*.sec", OBJ_CASE_INSENSITIVE, STATUS_OBJECT_NAME_INVALID},
        {"slash", "\\??\\C:\\Holder/Vault.SEC", OBJ_CASE_INSENSITIVE, STATUS_OBJECT_NAME_INVALID},
        {"double_backslash", "\\??\\C:\\Holder\\\\Vault.SEC", OBJ_CASE_INSENSITIVE, STATUS_OBJECT_NAME_INVALID},
        {"volume_itself", "\\??\\C:", OBJ_CASE_INSENSITIVE, STATUS_OBJECT_NAME_INVALID},
        {"other_namespace", "\\Device\\HarddiskVolume9\\x", OBJ_CASE_INSENSITIVE, STATUS_OBJECT_PATH_NOT_FOUND},
        {"relative", "C:\\Holder\\Vault.SEC", OBJ_CASE_INSENSITIVE, STATUS_OBJECT_PATH_SYNTAX_BAD},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Opened file(Open(Wide(c.path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_OPEN, kSync, c.attributes));
        EXPECT_EQ(file.result.status, c.status);
    }
}

struct ShareCase {
    const char* label;
    ACCESS_MASK firstAccess;
    ULONG firstShare;
    ACCESS_MASK secondAccess;
    ULONG secondShare;
    bool secondOpens;
};

void PrintTo(const ShareCase& c, std::ostream* out)
{
    *out << c.label;
}

constexpr ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

const ShareCase kShareCases[] = {
    {"exclusive_then_reader", kReadWrite, 0, GENERIC_READ, kShareAll, false},
    {"exclusive_then_writer", kReadWrite, 0, GENERIC_WRITE, kShareAll, false},
    {"reader_then_exclusive", GENERIC_READ, kShareAll, kReadWrite, 0, false},
    {"shared_then_shared", kReadWrite, kShareAll, kReadWrite, kShareAll, true},
    {"readers_sharing_reads", GENERIC_READ, FILE_SHARE_READ, GENERIC_READ, FILE_SHARE_READ, true},
    {"reader_refusing_writers", GENERIC_READ, FILE_SHARE_READ, GENERIC_WRITE, kShareAll, false},
    {"writer_then_reader_refusing_writers", GENERIC_WRITE, kShareAll, GENERIC_READ, FILE_SHARE_READ, false},
    {"writer_sharing_reads_then_reader", GENERIC_WRITE, FILE_SHARE_READ, GENERIC_READ, kShareAll, true},
    {"writer_sharing_reads_then_writer", GENERIC_WRITE, FILE_SHARE_READ, GENERIC_WRITE, kShareAll, false},
};

class ZwShareTest : public ZwFileTest, public ::testing::WithParamInterface<ShareCase> {};

TEST_P(ZwShareTest, InThisProcess)
{
    const ShareCase& c = GetParam();
    WriteHostFile(HostPath("shared.bin"), std::vector<std::uint8_t>(512, 1));
    Opened first(Open(NtPath("shared.bin"), c.firstAccess, c.firstShare, FILE_OPEN));
    ASSERT_EQ(first.result.status, STATUS_SUCCESS);
    {
        Opened second(Open(NtPath("shared.bin"), c.secondAccess, c.secondShare, FILE_OPEN));
        EXPECT_EQ(second.result.status, c.secondOpens ? STATUS_SUCCESS : STATUS_SHARING_VIOLATION);
    }
    // A conflicting open leaves the file as it was.
    EXPECT_EQ(ReadHostFile(HostPath("shared.bin")).size(), 512u);
}

TEST_P(ZwShareTest, AcrossProcesses)
{
    const ShareCase& c = GetParam();
    WriteHostFile(HostPath("shared.bin"), std::vector<std::uint8_t>(512, 1));
    Opened first(Open(NtPath("shared.bin"), c.firstAccess, c.firstShare, FILE_OPEN));
    ASSERT_EQ(first.result.status, STATUS_SUCCESS);

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        OpenResult second = Open(NtPath("shared.bin"), c.secondAccess, c.secondShare, FILE_OPEN);
        _exit(second.status == STATUS_SUCCESS ? 0 : second.status == STATUS_SHARING_VIOLATION ? 1 : 2);
    }
    int wstatus = 0;
    ASSERT_EQ(waitpid(child, &wstatus, 0), child);
    ASSERT_TRUE(WIFEXITED(wstatus));
    EXPECT_EQ(WEXITSTATUS(wstatus), c.secondOpens ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(ShareModes, ZwShareTest, ::testing::ValuesIn(kShareCases),
                         [](const auto& tc) { return std::string(tc.param.label); });

TEST_F(ZwFileTest, ClosingReleasesTheShareMode)
{
    WriteHostFile(HostPath("shared.bin"), std::vector<std::uint8_t>(512, 1));
    {
        Opened exclusive(Open(NtPath("shared.bin"), kReadWrite, 0, FILE_OPEN));
        ASSERT_EQ(exclusive.result.status, STATUS_SUCCESS);
    }
    Opened again(Open(NtPath("shared.bin"), kReadWrite, 0, FILE_OPEN));
    EXPECT_EQ(again.result.status, STATUS_SUCCESS);
}

TEST_F(ZwFileTest, AccessIsWhatTheOpenGranted)
{
    WriteHostFile(HostPath("data.bin"), std::vector<std::uint8_t>(512, 9));
    std::vector<std::uint8_t> buffer(512, 0);
    ULONG_PTR bytes = 0;
    {
        Opened reader(Open(NtPath("data.bin"), GENERIC_READ, kShareAll, FILE_OPEN));
        EXPECT_EQ(WriteAt(reader.handle(), 0, buffer.data(), 512), STATUS_ACCESS_DENIED);
        EXPECT_EQ(SetLength(reader.handle(), 0), STATUS_ACCESS_DENIED);
        EXPECT_EQ(ReadAt(reader.handle(), 0, buffer.data(), 512, bytes), STATUS_SUCCESS);
    }
    {
        Opened writer(Open(NtPath("data.bin"), GENERIC_WRITE, kShareAll, FILE_OPEN));
        EXPECT_EQ(ReadAt(writer.handle(), 0, buffer.data(), 512, bytes), STATUS_ACCESS_DENIED);
        EXPECT_EQ(WriteAt(writer.handle(), 0, buffer.data(), 512), STATUS_SUCCESS);
    }
    EXPECT_EQ(ReadHostFile(HostPath("data.bin")), buffer);
}

TEST_F(ZwFileTest, TheCallersIdentityDecidesWhatMayBeCreated)
{
    // As root a folder's mode would not stop anyone, so act as another user,
    // who must be able to reach the scratch folder for the open folder to
    // prove anything.
    const bool actAsOther = korvel::test::CanChangeIdentity();
    if (const std::string why = korvel::test::WhyTestsCannotActAsAnotherUser(); actAsOther && !why.empty()) {
        GTEST_SKIP() << why;
    }
    ASSERT_EQ(chmod(m_Folder.Path().c_str(), 0755), 0);
    struct Case {
        const char* folder;
        mode_t mode;
        NTSTATUS status;
    };
    const Case cases[] = {
        {"locked", 0555, STATUS_ACCESS_DENIED},
        {"open", 0777, STATUS_SUCCESS},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder);
        ASSERT_EQ(mkdir(HostPath(c.folder).c_str(), c.mode), 0);
        ASSERT_EQ(chmod(HostPath(c.folder).c_str(), c.mode), 0);  // whatever the umask took away
        std::thread caller([&] {
            if (actAsOther) {
                setfsgid(korvel::test::kOtherGroup);
                setfsuid(korvel::test::kOtherUser);
            }
            Opened file(Open(NtPath(std::string(c.folder) + "\\vault.sec"), kReadWrite, 0, FILE_OPEN_IF));
            EXPECT_EQ(file.result.status, c.status);
        });
        caller.join();
        EXPECT_EQ(korvel::test::HostFileExists(HostPath(std::string(c.folder) + "/vault.sec")),
                  c.status == STATUS_SUCCESS);
    }
}

TEST_F(ZwFileTest, UnbufferedIoTakesWholeSectorsOnly)
{
    Opened file(Open(NtPath("raw.bin"), kReadWrite, 0, FILE_OPEN_IF, kUnbuffered));
    ASSERT_EQ(file.result.status, STATUS_SUCCESS);
    ASSERT_EQ(SetLength(file.handle(), 4096), STATUS_SUCCESS);
    // Page-aligned memory, plus a buffer that is deliberately off by one byte.
    void* page = mmap(nullptr, 8192, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(page, MAP_FAILED);
    auto* aligned = static_cast<std::uint8_t*>(page);
    std::memset(aligned, 0x5C, 8192);
    struct Case {
        const char* label;
        LONGLONG offset;
        ULONG length;
        std::uint8_t* buffer;
        NTSTATUS status;
    };
    const Case cases[] = {
        {"whole_sectors", 512, 1024, aligned, STATUS_SUCCESS},
        {"misaligned_offset", 100, 512, aligned, STATUS_INVALID_PARAMETER},
        {"misaligned_length", 512, 100, aligned, STATUS_INVALID_PARAMETER},
        {"misaligned_memory", 1024, 512, aligned + 1, STATUS_SUCCESS},
        {"negative_offset", -512, 512, aligned, STATUS_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(WriteAt(file.handle(), c.offset, c.buffer, c.length), c.status);
        ULONG_PTR bytes = 0;
        EXPECT_EQ(ReadAt(file.handle(), c.offset, c.buffer, c.length, bytes), c.status);
        EXPECT_EQ(bytes, c.status == STATUS_SUCCESS ? c.length : kUntouched);
    }
    munmap(page, 8192);

    // A buffered handle takes any offset and length.
    Opened buffered(Open(NtPath("cooked.bin"), kReadWrite, 0, FILE_OPEN_IF));
    std::uint8_t bytes[3] = {1, 2, 3};
    EXPECT_EQ(WriteAt(buffered.handle(), 5, bytes, 3), STATUS_SUCCESS);
    EXPECT_EQ(QueryLength(buffered.handle()), 8);
}

TEST_F(ZwFileTest, ReadsStopAtTheEndOfTheFile)
{
    WriteHostFile(HostPath("short.bin"), std::vector<std::uint8_t>(1536, 3));
    Opened file(Open(NtPath("short.bin"), GENERIC_READ, 0, FILE_OPEN, kUnbuffered));
    ASSERT_EQ(file.result.status, STATUS_SUCCESS);
    alignas(4096) static std::uint8_t buffer[4096];
    struct Case {
        LONGLONG offset;
        ULONG length;
        NTSTATUS status;
        ULONG_PTR bytes;
    };
    const Case cases[] = {
        {0, 1024, STATUS_SUCCESS, 1024},
        {1024, 1024, STATUS_SUCCESS, 512},
        {1536, 512, STATUS_END_OF_FILE, 0},
        {4096, 512, STATUS_END_OF_FILE, 0},
        {0, 0, STATUS_SUCCESS, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.offset);
        ULONG_PTR bytes = 0;
        EXPECT_EQ(ReadAt(file.handle(), c.offset, buffer, c.length, bytes), c.status);
        EXPECT_EQ(bytes, c.bytes);
    }
}

TEST_F(ZwFileTest, AFullVolumeRefusesToGrowFiles)
{
    host::MapDrive('C', host::Drive{m_Folder.Path(), host::DriveType::Fixed, 8192});
    Opened file(Open(NtPath("grow.bin"), kReadWrite, 0, FILE_OPEN_IF, kUnbuffered));
    ASSERT_EQ(file.result.status, STATUS_SUCCESS);
    alignas(4096) static std::uint8_t buffer[4096];
    EXPECT_EQ(SetLength(file.handle(), 16384), STATUS_DISK_FULL);
    EXPECT_EQ(QueryLength(file.handle()), 0);
    EXPECT_EQ(SetLength(file.handle(), 8192), STATUS_SUCCESS);
    EXPECT_EQ(WriteAt(file.handle(), 8192, buffer, 512), STATUS_DISK_FULL);
    EXPECT_EQ(WriteAt(file.handle(), 4096, buffer, 4096), STATUS_SUCCESS) << "writing inside needs no space";
    // Shrinking gives the space back.
    EXPECT_EQ(SetLength(file.handle(), 4096), STATUS_SUCCESS);
    EXPECT_EQ(WriteAt(file.handle(), 4096, buffer, 4096), STATUS_SUCCESS);
    EXPECT_EQ(QueryLength(file.handle()), 8192);
}

TEST_F(ZwFileTest, AFileSystemThatRefusesUnbufferedIoFailsTheOpen)
{
    host::RefuseUnbufferedIo(true);
    Opened file(Open(NtPath("direct.bin"), kReadWrite, 0, FILE_OPEN_IF, kUnbuffered));
    EXPECT_EQ(file.result.status, STATUS_NOT_SUPPORTED);
    EXPECT_FALSE(korvel::test::HostFileExists(HostPath("direct.bin"))) << "no half-made file is left";
    Opened buffered(Open(NtPath("direct.bin"), kReadWrite, 0, FILE_OPEN_IF));
    EXPECT_EQ(buffered.result.status, STATUS_SUCCESS) << "buffered opens are not affected";
}

TEST_F(ZwFileTest, ARealFileSystemWithoutODirectIsReported)
{
    // tmpfs refused O_DIRECT on older kernels; newer ones take it.
    korvel::test::ScratchFolder scratch;
    const std::string shm = "/dev/shm";
    struct statfs fs {};
    if (statfs(shm.c_str(), &fs) != 0) {
        GTEST_SKIP() << shm << " is not available";
    }
    const std::string probe = shm + "/korvel-odirect-probe";
    int fd = open(probe.c_str(), O_CREAT | O_RDWR | O_DIRECT, 0600);
    if (fd >= 0) {
        close(fd);
        unlink(probe.c_str());
        GTEST_SKIP() << "this kernel's tmpfs accepts O_DIRECT; no file system here refuses it";
    }
    host::MapDrive('T', host::Drive{shm, host::DriveType::RamDisk, std::nullopt});
    Opened file(Open(Wide("\\??\\T:\\korvel-odirect-probe"), kReadWrite, 0, FILE_OPEN_IF, kUnbuffered));
    EXPECT_EQ(file.result.status, STATUS_NOT_SUPPORTED);
    EXPECT_FALSE(korvel::test::HostFileExists(probe));
}

TEST_F(ZwFileTest, HandlesAreCheckedAndFailedOpensLeaveTheStatusBlock)
{
    EXPECT_EQ(ZwClose(reinterpret_cast<HANDLE>(0x7777)), STATUS_INVALID_HANDLE);
    std::uint8_t byte = 0;
    ULONG_PTR bytes = 0;
    EXPECT_EQ(ReadAt(reinterpret_cast<HANDLE>(0x7777), 0, &byte, 1, bytes), STATUS_INVALID_HANDLE);

    OpenResult first = Open(NtPath("once.bin"), kReadWrite, 0, FILE_OPEN_IF);
    ASSERT_EQ(first.status, STATUS_SUCCESS);
    EXPECT_EQ(ZwClose(first.handle), STATUS_SUCCESS);
    EXPECT_EQ(ZwClose(first.handle), STATUS_INVALID_HANDLE);

    const OpenResult failed = Open(NtPath("missing.bin"), kReadWrite, 0, FILE_OPEN);
    EXPECT_EQ(failed.status, STATUS_OBJECT_NAME_NOT_FOUND);
    EXPECT_EQ(failed.iosb.Information, kUntouched);
    EXPECT_EQ(failed.handle, nullptr);
}

}  // namespace
