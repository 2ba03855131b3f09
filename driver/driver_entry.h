// The vault disk driver: two units, \Device\VantorDevice0 and 1.
#pragma once

#include "framework/kdriver.h"

class VantorDriver : public KDriver {
public:
    // ^KDriver
    NTSTATUS DriverEntry(PUNICODE_STRING RegistryPath) override;
    VOID Unload() override;

private:
    NTSTATUS CreateUnit(ULONG unit);
};
