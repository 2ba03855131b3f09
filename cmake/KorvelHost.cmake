# The host build: Linux, GCC, the user-mode stand-in for the Windows APIs.
set(KORVEL_HOST ON)

# Windows code counts wide characters in 16-bit units; so does every host
# object, the tests included. Nothing here may use the C library's wide-string
# functions or std::wstring, which assume a 32-bit wchar_t.
add_compile_options(-fshort-wchar)

set(KORVEL_SANITIZER "" CACHE STRING "address (with undefined) or thread")
if(KORVEL_SANITIZER STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
elseif(KORVEL_SANITIZER STREQUAL "thread")
  add_compile_options(-fsanitize=thread)
  add_link_options(-fsanitize=thread)
elseif(NOT KORVEL_SANITIZER STREQUAL "")
  message(FATAL_ERROR "Unknown KORVEL_SANITIZER '${KORVEL_SANITIZER}'")
endif()

# GoogleTest is built from its sources with the flags above: the packaged
# library was built with a 32-bit wchar_t and without sanitizers.
set(KORVEL_GTEST_SOURCE "/usr/src/googletest" CACHE PATH "GoogleTest sources")

# Driver code on the host builds with the same language limits as in the kernel.
add_library(korvel_kernel_code INTERFACE)
target_compile_options(korvel_kernel_code INTERFACE
  $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -fno-rtti -fno-threadsafe-statics>)
