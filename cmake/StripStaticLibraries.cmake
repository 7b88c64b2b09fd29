# Run by cpack after it staged the .debs' files. CPACK_STRIP_FILES strips programs only; the
# static library loses its debugging sections and the compiler's notes as dh_strip does it
# for Debian's static libraries, and keeps its symbols.
file(GLOB_RECURSE veltrun_archives "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*.a")
foreach(archive IN LISTS veltrun_archives)
  execute_process(COMMAND strip --strip-debug --remove-section=.comment --remove-section=.note
    --enable-deterministic-archives ${archive}
    COMMAND_ERROR_IS_FATAL ANY)
endforeach()
