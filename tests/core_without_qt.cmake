# Fails when a file of the core includes a Qt or a platform header: the core must build and be
# tested alone, on every platform. Operating-system services live in src/os, and the word
# processors behind the backends of src/automation.
file(GLOB core_files
    ${SOURCE_DIR}/src/run/*.h ${SOURCE_DIR}/src/run/*.cpp
    ${SOURCE_DIR}/src/form/*.h ${SOURCE_DIR}/src/form/*.cpp
    ${SOURCE_DIR}/src/automation/*.h ${SOURCE_DIR}/src/automation/*.cpp)
set(forbidden "(Q[A-Za-z]|qt[A-Za-z]*/|windows\\.h|unistd\\.h|fcntl\\.h|sys/|com/sun/star/|spdlog/)")
set(offenders "")
foreach(f IN LISTS core_files)
    file(STRINGS ${f} hits REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]${forbidden}")
    if(hits)
        list(APPEND offenders "${f}: ${hits}")
    endif()
endforeach()
if(offenders)
    list(JOIN offenders "\n" text)
    message(FATAL_ERROR "Qt or platform headers in the core:\n${text}")
endif()
list(LENGTH core_files count)
message(STATUS "${count} core files, none includes Qt or a platform header")
