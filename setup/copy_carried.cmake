# Copies the files the installer carries into its build folder, where its
# resource script finds them, and says clearly which one is missing: the
# other architecture's driver comes from the other Windows preset.
#   -DCARRIED=<folder> -DFILES=<source>=<name>;...
foreach(pair IN LISTS FILES)
  string(REPLACE "=" ";" parts "${pair}")
  list(GET parts 0 source)
  list(GET parts 1 name)
  if(NOT EXISTS "${source}")
    message(FATAL_ERROR "The installer carries ${source}, which is not built yet: "
                        "build the win32 and win64 presets first, then the setup target of each.")
  endif()
  file(COPY_FILE "${source}" "${CARRIED}/${name}" ONLY_IF_DIFFERENT)
endforeach()
