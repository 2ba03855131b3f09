# The Windows builds (mingw-w64): deliverables go under dist/x86 or dist/x64.
set(KORVEL_HOST OFF)

if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(KORVEL_ARCH x64)
  set(KORVEL_KERNEL_ARCH_DEFINE _AMD64_)
else()
  set(KORVEL_ARCH x86)
  set(KORVEL_KERNEL_ARCH_DEFINE _X86_)
endif()
set(KORVEL_DIST_DIR "${CMAKE_SOURCE_DIR}/dist/${KORVEL_ARCH}")

# No Windows library is linked unless a target asks for it: the driver must
# import from the kernel alone.
set(CMAKE_C_STANDARD_LIBRARIES "" CACHE STRING "" FORCE)
set(CMAKE_CXX_STANDARD_LIBRARIES "" CACHE STRING "" FORCE)
enable_language(RC)

set(KORVEL_DDK_INCLUDE "/usr/share/mingw-w64/include/ddk" CACHE PATH "mingw-w64 kernel headers")

# Kernel code: no exceptions, no RTTI, no C++ runtime, nothing that needs a
# CRT helper (stack probes, stack protector, thread-safe statics).
add_library(korvel_kernel_code INTERFACE)
# wdm.h defines the two bit-test intrinsics itself; keep the compiler's
# intrinsics header from defining them a second time.
target_compile_definitions(korvel_kernel_code INTERFACE ${KORVEL_KERNEL_ARCH_DEFINE}
  __INTRINSIC_DEFINED_InterlockedBitTestAndSet __INTRINSIC_DEFINED_InterlockedBitTestAndReset)
target_include_directories(korvel_kernel_code SYSTEM INTERFACE "${KORVEL_DDK_INCLUDE}")
target_compile_options(korvel_kernel_code INTERFACE
  $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -fno-rtti -fno-threadsafe-statics>
  -fno-stack-protector -mno-stack-arg-probe -fno-builtin-malloc
  # Kernel headers read fixed low addresses (gs:0x188); GCC 12 would take
  # them for null-pointer accesses.
  --param=min-pagesize=0)

function(korvel_deliver target)
  set_target_properties(${target} PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY "${KORVEL_DIST_DIR}"
    LIBRARY_OUTPUT_DIRECTORY "${KORVEL_DIST_DIR}")
endfunction()
