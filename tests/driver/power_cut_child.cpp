#include "power_cut_child.h"

#include "forked_child.h"
#include "vantor_fixture.h"

#include <unistd.h>

#include <cstring>
#include <memory>

namespace korvel::test {

namespace {

// Why a child gave up before its work, in Message::status of Note::Failed.
enum FailedStep : std::int32_t { LoadFailed = 1, OpenUnitFailed, UnloadFailed };

[[noreturn]] void GiveUp(int reportFd, FailedStep step)
{
    Message message;
    message.note = Note::Failed;
    message.status = step;
    Tell(reportFd, message);
    _exit(3);
}

host::Driver* LoadVantor(int reportFd)
{
    host::Driver* driver = nullptr;
    if (host::LoadDriver(VANTOR_IMAGE, u"Vantor", &driver) != STATUS_SUCCESS) {
        GiveUp(reportFd, LoadFailed);
    }
    return driver;
}

host::DeviceHandle OpenUnit0(int reportFd)
{
    host::DeviceHandle unit;
    if (host::OpenDevice(u"\\??\\VantorDevice0", unit) != STATUS_SUCCESS) {
        GiveUp(reportFd, OpenUnitFailed);
    }
    return unit;
}

host::IoResult Mount(const host::DeviceHandle& unit, const std::string& ntPath, const std::string& password,
                     std::int64_t size)
{
    OPENDISKFILE_INFO info = OpenRequest(ntPath, password, size);
    return host::DeviceIoControl(unit, IOCTL_OPENDISKFILE, &info, sizeof info, nullptr, 0);
}

// The requests of one batch, sent together and kept until they are done.
struct Batch {
    std::vector<std::unique_ptr<AlignedBytes>> buffers;
    std::unique_ptr<NewPassword> record;
    std::vector<std::pair<std::uint32_t, host::PendingIo>> sent;
};

void Send(int reportFd, const host::DeviceHandle& unit, const RoundPlan& plan, std::uint32_t index, Batch& batch)
{
    const Operation& op = plan.operations[index];
    Message coming;
    coming.index = index;
    if (op.kind == Operation::Kind::Write) {
        auto data = std::make_unique<AlignedBytes>(op.length);
        FillWrite(plan.round, index, op.offset, op.length, data->data());
        coming.note = Note::WriteComing;
        coming.offset = op.offset;
        coming.length = op.length;
        Tell(reportFd, coming);
        batch.sent.emplace_back(index, host::SendWrite(unit, data->data(), op.length, LONGLONG(op.offset)));
        batch.buffers.push_back(std::move(data));
    } else {
        batch.record = std::make_unique<NewPassword>();
        const PasswordField field = PlainPasswordField(plan.newPassword);
        std::memcpy(batch.record.get(), field.data(), field.size());
        coming.note = Note::ChangeComing;
        Tell(reportFd, coming);
        batch.sent.emplace_back(index, host::SendDeviceIoControl(unit, IOCTL_CHANGEPWD, batch.record.get(),
                                                                 sizeof(NewPassword), nullptr, 0));
    }
}

void Finish(int reportFd, const RoundPlan& plan, Batch& batch)
{
    for (auto& [index, pending] : batch.sent) {
        const host::IoResult result = pending.Wait();
        Message done;
        done.note = plan.operations[index].kind == Operation::Kind::Write ? Note::WriteDone : Note::ChangeDone;
        done.index = index;
        done.status = result.status;
        done.length = std::uint32_t(result.information);
        Tell(reportFd, done);
    }
    batch = Batch{};
}

}  // namespace

void WorkOnVault(int reportFd, const std::string& ntPath, const RoundPlan& plan)
{
    LoadVantor(reportFd);
    const host::DeviceHandle unit = OpenUnit0(reportFd);
    Message mounted;
    mounted.note = Note::Mounted;
    mounted.status = Mount(unit, ntPath, plan.password, 0).status;
    Tell(reportFd, mounted);
    if (mounted.status != STATUS_SUCCESS) {
        _exit(4);
    }
    Batch batch;
    for (std::uint32_t index = 0; index < plan.operations.size(); ++index) {
        Send(reportFd, unit, plan, index, batch);
        if (plan.operations[index].endsBatch) {
            Finish(reportFd, plan, batch);
        }
    }
    Finish(reportFd, plan, batch);
    Message all;
    all.note = Note::AllDone;
    Tell(reportFd, all);
    // The vault stays mounted, as a machine's would when its power goes.
    for (;;) {
        pause();
    }
}

void ProbeVault(int reportFd, const std::string& ntPath, const std::vector<std::string>& passwords,
                std::int64_t createSize)
{
    host::Driver* driver = LoadVantor(reportFd);
    host::DeviceHandle unit = OpenUnit0(reportFd);
    for (std::uint32_t index = 0; index < passwords.size(); ++index) {
        Message opened;
        opened.note = Note::Opened;
        opened.index = index;
        opened.status = Mount(unit, ntPath, passwords[index], createSize).status;
        if (opened.status == STATUS_SUCCESS) {
            GET_LENGTH_INFORMATION length{};
            if (host::DeviceIoControl(unit, IOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, &length, sizeof length).status ==
                STATUS_SUCCESS) {
                opened.diskLength = std::uint64_t(length.Length.QuadPart);
            }
            host::DeviceIoControl(unit, IOCTL_CLOSEDISKFILE, nullptr, 0, nullptr, 0);
        }
        Tell(reportFd, opened);
    }
    unit.Close();
    if (host::UnloadDriver(driver) != STATUS_SUCCESS) {
        GiveUp(reportFd, UnloadFailed);
    }
    _exit(0);
}

}  // namespace korvel::test
