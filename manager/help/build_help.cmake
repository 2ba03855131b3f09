# Compiles the help file: run as a script (cmake -P) by the build.
#
#   PROJECT  the help project (.hhp) in the source folder
#   STAGE    a folder of the build where the sources are staged and compiled
#   CHMCMD   the compiler, chmcmd
#   ICONV    the code-page converter, iconv
#   OUTPUT   where the compiled .chm goes
#
# The sources are kept in UTF-8 so that they read and diff like every other
# file here. HTML Help reads the contents, index and title as text in the
# code page of the project's language (0x804: code page 936), so every text
# file is converted to GB2312 on the way, and the pages' charset declaration
# with it. Plain GB2312 rather than GBK: every byte of a Chinese character
# is then 0xA1 or above, so nothing that scans the pages byte by byte (the
# compiler, the viewer) can mistake half a character for '<', '"' or '\'.
cmake_minimum_required(VERSION 3.25)
include("${CMAKE_CURRENT_LIST_DIR}/help_project.cmake")

foreach(input PROJECT STAGE CHMCMD ICONV OUTPUT)
  if(NOT DEFINED ${input})
    message(FATAL_ERROR "build_help.cmake needs -D${input}=...")
  endif()
endforeach()

get_filename_component(source_dir "${PROJECT}" DIRECTORY)
get_filename_component(project_name "${PROJECT}" NAME)
korvel_help_project_files("${PROJECT}" help)

# A fresh stage each time: a page dropped from the project must not linger
# there and be found by the compiler's scan of the links.
file(REMOVE_RECURSE "${STAGE}")
file(MAKE_DIRECTORY "${STAGE}")

foreach(name IN LISTS help_TEXT_FILES)
  set(source "${source_dir}/${name}")
  if(NOT EXISTS "${source}")
    message(FATAL_ERROR "The help project names ${name}, which is not in ${source_dir}")
  endif()
  file(READ "${source}" text)
  if(name MATCHES "\\.html$")
    string(FIND "${text}" "charset=utf-8" declaration)
    if(declaration EQUAL -1)
      message(FATAL_ERROR "${name} does not declare charset=utf-8 in its Content-Type meta element")
    endif()
    string(REPLACE "charset=utf-8" "charset=gb2312" text "${text}")
  endif()
  get_filename_component(staged_dir "${STAGE}/${name}" DIRECTORY)
  file(MAKE_DIRECTORY "${staged_dir}")
  file(WRITE "${STAGE}/${name}.utf-8" "${text}")
  execute_process(
    COMMAND "${ICONV}" -f UTF-8 -t GB2312 -o "${STAGE}/${name}" "${STAGE}/${name}.utf-8"
    RESULT_VARIABLE status
    ERROR_VARIABLE problem)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${name} has text that GB2312 cannot hold: ${problem}")
  endif()
  file(REMOVE "${STAGE}/${name}.utf-8")
endforeach()

foreach(name IN LISTS help_BINARY_FILES)
  if(NOT EXISTS "${source_dir}/${name}")
    message(FATAL_ERROR "The help project names ${name}, which is not in ${source_dir}")
  endif()
  get_filename_component(staged_dir "${STAGE}/${name}" DIRECTORY)
  file(COPY "${source_dir}/${name}" DESTINATION "${staged_dir}")
endforeach()

execute_process(
  COMMAND "${CHMCMD}" "${project_name}"
  WORKING_DIRECTORY "${STAGE}"
  RESULT_VARIABLE status
  OUTPUT_VARIABLE report
  ERROR_VARIABLE report)
# chmcmd reports a missing file (a link to a page or picture that is not in
# the project) as a warning and still writes the file; here it is an error.
string(REGEX MATCHALL "(^|\n)(Warning|Error)[^\n]*" complaints "${report}")
if(NOT status EQUAL 0 OR complaints OR NOT EXISTS "${STAGE}/${help_COMPILED_FILE}")
  message(FATAL_ERROR "chmcmd could not compile the help cleanly (exit status ${status}):\n${report}")
endif()

get_filename_component(output_dir "${OUTPUT}" DIRECTORY)
file(MAKE_DIRECTORY "${output_dir}")
file(COPY_FILE "${STAGE}/${help_COMPILED_FILE}" "${OUTPUT}")
