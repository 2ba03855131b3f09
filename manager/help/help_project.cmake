# Reads the help project (.hhp): the files it compiles are named there once,
# and both the build's dependencies and the staging step take them from it.

# Sets <prefix>_COMPILED_FILE (the name of the .chm the compiler writes),
# <prefix>_TEXT_FILES (the project, its contents and index files and the
# pages and style sheet, all to be converted to the help's code page) and
# <prefix>_BINARY_FILES (pictures, copied as they are), as paths relative to
# the project's folder.
function(korvel_help_project_files project prefix)
  file(STRINGS "${project}" lines ENCODING UTF-8)
  get_filename_component(project_name "${project}" NAME)
  set(text_files "${project_name}")
  set(binary_files "")
  set(compiled_file "")
  set(section "")
  foreach(line IN LISTS lines)
    string(STRIP "${line}" line)
    if(line STREQUAL "" OR line MATCHES "^;")
      continue()
    endif()
    if(line MATCHES "^\\[(.*)\\]$")
      set(section "${CMAKE_MATCH_1}")
    elseif(section STREQUAL "OPTIONS" AND line MATCHES "^(Contents|Index) file=(.+)$")
      list(APPEND text_files "${CMAKE_MATCH_2}")
    elseif(section STREQUAL "OPTIONS" AND line MATCHES "^Compiled file=(.+)$")
      set(compiled_file "${CMAKE_MATCH_1}")
    elseif(section STREQUAL "FILES")
      if(line MATCHES "\\.(png|gif|jpg)$")
        list(APPEND binary_files "${line}")
      else()
        list(APPEND text_files "${line}")
      endif()
    endif()
  endforeach()
  if(compiled_file STREQUAL "")
    message(FATAL_ERROR "${project} names no compiled file")
  endif()
  set(${prefix}_COMPILED_FILE "${compiled_file}" PARENT_SCOPE)
  set(${prefix}_TEXT_FILES "${text_files}" PARENT_SCOPE)
  set(${prefix}_BINARY_FILES "${binary_files}" PARENT_SCOPE)
endfunction()
