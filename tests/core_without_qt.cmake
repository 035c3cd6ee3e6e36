# Fails when a file of the core includes a Qt header: the core must build and be tested alone.
file(GLOB_RECURSE core_files
    ${SOURCE_DIR}/src/common/*.h ${SOURCE_DIR}/src/common/*.cpp
    ${SOURCE_DIR}/src/batch/*.h ${SOURCE_DIR}/src/batch/*.cpp
    ${SOURCE_DIR}/src/replace/*.h ${SOURCE_DIR}/src/replace/*.cpp
    ${SOURCE_DIR}/src/platform/*.h ${SOURCE_DIR}/src/platform/*.cpp)
set(offenders "")
foreach(f IN LISTS core_files)
    file(STRINGS ${f} hits REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"](Q[A-Za-z]|qt[A-Za-z]*/)")
    if(hits)
        list(APPEND offenders "${f}: ${hits}")
    endif()
endforeach()
if(offenders)
    list(JOIN offenders "\n" text)
    message(FATAL_ERROR "Qt headers in the core:\n${text}")
endif()
list(LENGTH core_files count)
message(STATUS "${count} core files, none includes Qt")
