# The host build: Linux, GCC, the user-mode stand-in for the Windows APIs.
set(KORVEL_HOST ON)

# Windows code counts wide characters in 16-bit units; so does every host
# object, the tests included. Nothing here may use the C library's wide-string
# functions or std::wstring, which assume a 32-bit wchar_t.
add_compile_options(-fshort-wchar)

set(KORVEL_SANITIZER "" CACHE STRING "address (with undefined), thread, or fuzzer (clang: coverage for libFuzzer, with address and undefined)")
if(KORVEL_SANITIZER STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
elseif(KORVEL_SANITIZER STREQUAL "thread")
  add_compile_options(-fsanitize=thread)
  add_link_options(-fsanitize=thread)
elseif(KORVEL_SANITIZER STREQUAL "fuzzer")
  # Every object carries libFuzzer's coverage; only the fuzz targets link
  # its main (see tests/fuzz).
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
elseif(NOT KORVEL_SANITIZER STREQUAL "")
  message(FATAL_ERROR "Unknown KORVEL_SANITIZER '${KORVEL_SANITIZER}'")
endif()

# Libraries and driver images must name every symbol they need, except
# where clang's sanitizer runtimes live in the program alone.
if(KORVEL_SANITIZER STREQUAL "fuzzer")
  set(KORVEL_NO_UNDEFINED "")
else()
  set(KORVEL_NO_UNDEFINED -Wl,--no-undefined)
endif()

# GoogleTest is built from its sources with the flags above: the packaged
# library was built with a 32-bit wchar_t and without sanitizers.
set(KORVEL_GTEST_SOURCE "/usr/src/googletest" CACHE PATH "GoogleTest sources")

# Driver code on the host builds with the same language limits as in the kernel.
add_library(korvel_kernel_code INTERFACE)
target_compile_options(korvel_kernel_code INTERFACE
  $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -fno-rtti -fno-threadsafe-statics>)
