# Helpers that keep each module's CMakeLists.txt to a line or two.

# cw_library(<name> [DEPS <targets...>])
# A static library of every .cpp below the calling directory (an INTERFACE library when there is none).
function(cw_library name)
    cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
    file(GLOB_RECURSE _srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    if(_srcs)
        add_library(${name} STATIC ${_srcs})
        target_link_libraries(${name} PUBLIC ${ARG_DEPS})
    else()
        add_library(${name} INTERFACE)
        target_link_libraries(${name} INTERFACE ${ARG_DEPS})
    endif()
endfunction()

# cw_test(<name> [TSAN] [DEPS <targets...>])
# One GoogleTest binary of every .cpp below the calling directory, registered with ctest. TSAN marks
# a module whose threads matter: the tsan preset builds and runs it under ThreadSanitizer.
function(cw_test name)
    cmake_parse_arguments(ARG "TSAN" "" "DEPS" ${ARGN})
    file(GLOB_RECURSE _srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    if(NOT _srcs)
        return() # a test module whose first file is still being written
    endif()
    add_executable(${name} ${_srcs})
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gmock GTest::gtest GTest::gtest_main)
    set(_labels "")
    if(ARG_TSAN)
        add_dependencies(tsan_tests ${name})
        set(_labels tsan)
    endif()
    gtest_discover_tests(${name}
        DISCOVERY_MODE PRE_TEST
        PROPERTIES TIMEOUT 120 ENVIRONMENT "CW_TEST_DATA=${CMAKE_CURRENT_SOURCE_DIR}" LABELS "${_labels}")
endfunction()

# cw_bench(<name> [DEPS <targets...>])
function(cw_bench name)
    cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
    file(GLOB_RECURSE _srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    if(NOT _srcs)
        return()
    endif()
    add_executable(${name} ${_srcs})
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} benchmark::benchmark benchmark::benchmark_main)
endfunction()

# cw_fuzz(<name> [DEPS <targets...>])
# A fuzz module: its *Entry.cpp files define LLVMFuzzerTestOneInput, the rest drive that entry over
# the module's corpus/ as a GoogleTest smoke test (every build). A clang build with CW_LIBFUZZER
# also links the entry alone into the libFuzzer program <name>_libfuzzer, which scripts/fuzz runs.
function(cw_fuzz name)
    cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
    cw_test(${name}_fuzz_smoke DEPS ${ARG_DEPS})
    if(CW_LIBFUZZER)
        file(GLOB _entries CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*Entry.cpp)
        add_executable(${name}_libfuzzer ${_entries})
        target_compile_options(${name}_libfuzzer PRIVATE -fsanitize=fuzzer)
        target_link_libraries(${name}_libfuzzer PRIVATE ${ARG_DEPS} -fsanitize=fuzzer)
        add_dependencies(fuzzers ${name}_libfuzzer)
    endif()
endfunction()
