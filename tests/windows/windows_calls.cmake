# Links a test binary's calls of these through tests/windows/windows_calls.cpp.
function(quorvane_wrap_windows_calls target)
    target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/tests/windows/windows_calls.cpp)
    target_link_options(${target} PRIVATE
        "LINKER:--wrap=BCryptGenRandom,--wrap=__imp_ReplaceFileW")
    target_link_libraries(${target} PRIVATE bcrypt)
endfunction()
