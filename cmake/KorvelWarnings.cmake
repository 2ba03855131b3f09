# Every target of ours builds with warnings as errors, in every preset.
add_library(korvel_warnings INTERFACE)
target_compile_options(korvel_warnings INTERFACE
  -Wall -Wextra -Werror -Wshadow -Wnon-virtual-dtor $<$<COMPILE_LANGUAGE:CXX>:-Wno-missing-field-initializers>)
