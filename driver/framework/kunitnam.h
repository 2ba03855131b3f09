// A unit's name: a base name followed by the unit number, such as
// "VantorDevice0".
#pragma once

#include "kustring.h"

class KUnitizedName : public KUnicodeName {
public:
    // radix 10 or 16; at most three digits follow the base.
    KUnitizedName(PCWSTR base, ULONG unit, ULONG radix = 10);

    NTSTATUS Status() const { return m_Status; }

private:
    // Kept for the checks in the constructor, which quote them by name.
    ULONG m_unit;
    ULONG m_radix;
    NTSTATUS m_Status;
};
