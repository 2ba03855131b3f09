#include "kunitnam.h"

#include "kassert.h"

namespace {

constexpr ULONG MaxDigits = 3;

}  // namespace

KUnitizedName::KUnitizedName(PCWSTR base, ULONG unit, ULONG radix) : m_unit(unit), m_radix(radix)
{
    KASSERT("kunitnam", (m_radix == 10) || (m_radix == 16));
    if (m_radix == 10) {
        KASSERT("kunitnam", m_unit < 1000);
    } else {
        KASSERT("kunitnam", m_unit < 0x1000);
    }
    UNICODE_STRING baseName;
    RtlInitUnicodeString(&baseName, base);
    // The base's characters, up to three digits and the terminator.
    m_Status = Allocate(SIZE_T(baseName.Length) + (MaxDigits + 1) * sizeof(WCHAR));
    if (NT_SUCCESS(m_Status)) {
        m_Status = Append(&baseName);
    }
    if (NT_SUCCESS(m_Status)) {
        WCHAR digits[MaxDigits + 1];
        UNICODE_STRING number = {0, sizeof digits, digits};
        m_Status = RtlIntegerToUnicodeString(unit, radix, &number);
        if (NT_SUCCESS(m_Status)) {
            m_Status = Append(&number);
        }
    }
    if (!NT_SUCCESS(m_Status)) {
        Release();
    }
}
