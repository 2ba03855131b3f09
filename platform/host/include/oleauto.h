// Automation strings and variants (oleaut32) as the host platform provides
// them: what the manager needs to ask a shell object, which the host never
// has, and to free what it would have answered.
#pragma once

#include <objbase.h>

typedef WCHAR OLECHAR;
typedef OLECHAR* BSTR;
typedef unsigned short VARTYPE;

enum VARENUM : VARTYPE { VT_EMPTY = 0, VT_I4 = 3, VT_BSTR = 8, VT_DISPATCH = 9 };

struct IDispatch;

typedef struct tagVARIANT {
    VARTYPE vt;
    WORD wReserved1;
    WORD wReserved2;
    WORD wReserved3;
    union {
        LONG lVal;
        BSTR bstrVal;
        IDispatch* pdispVal;
        ULONGLONG ullVal;
    };
} VARIANT;

extern "C" {

void WINAPI VariantInit(VARIANT* pvarg);
BSTR WINAPI SysAllocString(const OLECHAR* psz);
void WINAPI SysFreeString(BSTR bstrString);

}  // extern "C"
