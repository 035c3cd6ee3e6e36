# Links a test binary's calls of these through tests/unit/system_calls.cpp.
function(quorvane_wrap_system_calls target)
    target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/tests/unit/system_calls.cpp)
    target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/tests/unit)
    target_link_options(${target} PRIVATE
        "LINKER:--wrap=write,--wrap=pwrite,--wrap=fsync,--wrap=close"
        "LINKER:--wrap=rename,--wrap=getrandom")
endfunction()
