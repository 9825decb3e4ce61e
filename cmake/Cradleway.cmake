# Helpers that keep each module's CMakeLists.txt to a line or two, and the rules of the layers.
#
# Layers only look down: hosts, tests, benchmarks and fuzzers may use anything; the application
# (app/) uses the platform (platform/); the platform uses nothing of ours above it; the server stands
# alone. Each library exports only its own layer's include root, so a header of a higher layer is
# not even on the include path, and cw_check_modules() refuses a dependency that looks up a layer
# or names no target at all.

# The sources of the module in the calling directory: every file matching the patterns below it,
# except those of a nested directory that is a module of its own (it has its own CMakeLists.txt).
function(_cw_module_sources out)
    file(GLOB_RECURSE _all CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    file(GLOB_RECURSE _nested CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*/CMakeLists.txt)
    set(_srcs "")
    foreach(_src IN LISTS _all)
        set(_own TRUE)
        foreach(_list IN LISTS _nested)
            get_filename_component(_dir ${_list} DIRECTORY)
            string(FIND "${_src}" "${_dir}/" _at)
            if(_at EQUAL 0)
                set(_own FALSE)
            endif()
        endforeach()
        if(_own)
            list(APPEND _srcs ${_src})
        endif()
    endforeach()
    set(${out} ${_srcs} PARENT_SCOPE)
endfunction()

# The layer of the calling directory: its first path component below the source root.
function(_cw_layer out)
    file(RELATIVE_PATH _rel ${CMAKE_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
    string(REGEX REPLACE "/.*" "" _layer "${_rel}")
    set(${out} ${_layer} PARENT_SCOPE)
endfunction()

# Records a module and its declared dependencies for cw_check_modules().
function(_cw_register name layer)
    set_property(GLOBAL APPEND PROPERTY CW_MODULES ${name})
    set_property(TARGET ${name} PROPERTY CW_LAYER ${layer})
    set_property(TARGET ${name} PROPERTY CW_DEPS ${ARGN})
endfunction()

# The include root a module of each layer sees and exports. The server's headers are read as
# "server/...", through a directory that holds only a link to server/, so the server does not see
# the rest of the tree either.
function(_cw_include_root layer out)
    if(layer STREQUAL "platform")
        set(${out} ${CMAKE_SOURCE_DIR}/platform PARENT_SCOPE)
    elseif(layer STREQUAL "app")
        set(${out} ${CMAKE_SOURCE_DIR}/app PARENT_SCOPE)
    elseif(layer STREQUAL "server")
        set(_root ${CMAKE_BINARY_DIR}/include-server)
        if(NOT EXISTS ${_root}/server)
            file(MAKE_DIRECTORY ${_root})
            file(CREATE_LINK ${CMAKE_SOURCE_DIR}/server ${_root}/server SYMBOLIC)
        endif()
        set(${out} ${_root} PARENT_SCOPE)
    else()
        set(${out} ${CMAKE_SOURCE_DIR} PARENT_SCOPE)
    endif()
endfunction()

# Test code is glue around the code under test: compiled without optimisation it builds in two
# thirds of the time, and in well under that under the sanitizers, while the libraries it tests keep
# their configuration's optimisation (and so the behaviour and speed the tests check).
function(_cw_test_code name layer)
    if(layer STREQUAL "tests" OR layer STREQUAL "fuzz")
        target_compile_options(${name} PRIVATE -O0)
    endif()
endfunction()

# The headers every test batch reads (GoogleTest, GoogleMock, JSON, the HTTP library of the test
# servers, the standard library), compiled once per configuration and shared by every test program:
# reading them again was about a third of a test batch's compiler time under the sanitizers. Every
# test program is compiled with the same options as this one (those that decide whether a
# precompiled header may be used: optimisation, sanitizers, the libraries' macros), so each can
# reuse it.
set(CW_TEST_PCH_LIBRARIES GTest::gmock GTest::gtest nlohmann_json::nlohmann_json PkgConfig::HTTPLIB Threads::Threads)
function(_cw_test_pch name)
    if(NOT TARGET cw_test_pch)
        # A program, as the tests are, so that it is compiled position-independent the same way.
        add_executable(cw_test_pch ${CMAKE_SOURCE_DIR}/cmake/TestHeaders.cpp)
        target_link_libraries(cw_test_pch PRIVATE ${CW_TEST_PCH_LIBRARIES})
        target_compile_options(cw_test_pch PRIVATE -O0 -pthread)
        set_target_properties(cw_test_pch PROPERTIES UNITY_BUILD OFF)
        target_precompile_headers(cw_test_pch PRIVATE
            <algorithm> <atomic> <chrono> <condition_variable> <cstdint> <cstdio> <cstdlib> <cstring>
            <deque> <filesystem> <fstream> <functional> <map> <memory> <mutex> <optional> <regex> <set>
            <sstream> <string> <string_view> <thread> <unordered_map> <variant> <vector>
            <gtest/gtest.h> <gmock/gmock.h> <nlohmann/json.hpp> <httplib.h>)
    endif()
    # -pthread defines _REENTRANT, as the GLib family's compile options do for the tests that use it.
    target_compile_options(${name} PRIVATE -pthread)
    target_link_libraries(${name} PRIVATE ${CW_TEST_PCH_LIBRARIES})
    target_precompile_headers(${name} REUSE_FROM cw_test_pch)
endfunction()

# cw_library(<name> [SOURCES <files...>] [DEPS <targets...>])
# A static library of every .cpp below the calling directory (an INTERFACE library when there is none),
# or of the SOURCES given, when a directory holds a library and the executable that uses it.
function(cw_library name)
    cmake_parse_arguments(ARG "" "" "DEPS;SOURCES" ${ARGN})
    if(ARG_SOURCES)
        set(_srcs ${ARG_SOURCES})
    else()
        _cw_module_sources(_srcs)
    endif()
    _cw_layer(_layer)
    _cw_include_root(${_layer} _root)
    if(_srcs)
        add_library(${name} STATIC ${_srcs})
        target_link_libraries(${name} PUBLIC ${ARG_DEPS})
        target_include_directories(${name} PUBLIC ${_root})
        _cw_test_code(${name} ${_layer})
    else()
        add_library(${name} INTERFACE)
        target_link_libraries(${name} INTERFACE ${ARG_DEPS})
        target_include_directories(${name} INTERFACE ${_root})
    endif()
    _cw_register(${name} ${_layer} ${ARG_DEPS})
endfunction()

# cw_executable(<name> [SOURCES <files...>] [DEPS <targets...>])
# An executable of the calling directory's sources, or of the SOURCES given (hosts and tools); it
# sees the source root.
function(cw_executable name)
    cmake_parse_arguments(ARG "" "" "DEPS;SOURCES" ${ARGN})
    if(ARG_SOURCES)
        set(_srcs ${ARG_SOURCES})
    else()
        _cw_module_sources(_srcs)
    endif()
    _cw_layer(_layer)
    add_executable(${name} ${_srcs})
    target_link_libraries(${name} PRIVATE ${ARG_DEPS})
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
    _cw_register(${name} ${_layer} ${ARG_DEPS})
endfunction()

# cw_test(<name> [TSAN] [DEPS <targets...>])
# One GoogleTest binary of every .cpp below the calling directory, registered with ctest. TSAN marks
# a module whose threads matter: the tsan preset builds and runs it under ThreadSanitizer.
function(cw_test name)
    cmake_parse_arguments(ARG "TSAN" "" "DEPS" ${ARGN})
    _cw_module_sources(_srcs)
    if(NOT _srcs)
        return() # a test module whose first file is still being written
    endif()
    _cw_layer(_layer)
    add_executable(${name} ${_srcs})
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gmock GTest::gtest GTest::gtest_main)
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
    _cw_test_code(${name} ${_layer})
    _cw_test_pch(${name})
    _cw_register(${name} ${_layer} ${ARG_DEPS})
    set(_labels "")
    if(ARG_TSAN)
        add_dependencies(tsan_tests ${name})
        set(_labels tsan)
    endif()
    # A test's time is bounded to find one that hangs; ThreadSanitizer runs the same work several
    # times slower, more so on a busy machine.
    set(_timeout 120)
    if(CW_TSAN)
        set(_timeout 300)
    endif()
    gtest_discover_tests(${name}
        DISCOVERY_MODE PRE_TEST
        PROPERTIES TIMEOUT ${_timeout} ENVIRONMENT "CW_TEST_DATA=${CMAKE_CURRENT_SOURCE_DIR}" LABELS "${_labels}")
endfunction()

# cw_bench(<name> [DEPS <targets...>])
function(cw_bench name)
    cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
    _cw_module_sources(_srcs)
    if(NOT _srcs)
        return()
    endif()
    _cw_layer(_layer)
    add_executable(${name} ${_srcs})
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} benchmark::benchmark benchmark::benchmark_main)
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
    _cw_register(${name} ${_layer} ${ARG_DEPS})
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
        target_include_directories(${name}_libfuzzer PRIVATE ${CMAKE_SOURCE_DIR})
        target_compile_options(${name}_libfuzzer PRIVATE -fsanitize=fuzzer)
        target_link_libraries(${name}_libfuzzer PRIVATE ${ARG_DEPS} -fsanitize=fuzzer)
        add_dependencies(fuzzers ${name}_libfuzzer)
    endif()
endfunction()

# Run once every module is known: each declared dependency must be an imported package (a name with
# "::") or a library of this project in a layer the module may use.
function(cw_check_modules)
    get_property(_modules GLOBAL PROPERTY CW_MODULES)
    foreach(_module IN LISTS _modules)
        get_target_property(_layer ${_module} CW_LAYER)
        get_target_property(_deps ${_module} CW_DEPS)
        if(NOT _deps)
            continue()
        endif()
        foreach(_dep IN LISTS _deps)
            if(_dep MATCHES "::")
                continue()
            endif()
            if(NOT TARGET ${_dep})
                message(FATAL_ERROR "${_module} depends on '${_dep}', which is neither a library of this project nor an imported package")
            endif()
            get_target_property(_depLayer ${_dep} CW_LAYER)
            if(NOT _depLayer)
                message(FATAL_ERROR "${_module} depends on '${_dep}', which is not a module of this project (declare it with cw_library)")
            endif()
            set(_allowed TRUE)
            if(_layer STREQUAL "platform" AND NOT _depLayer STREQUAL "platform")
                set(_allowed FALSE)
            elseif(_layer STREQUAL "app" AND NOT (_depLayer STREQUAL "platform" OR _depLayer STREQUAL "app"))
                set(_allowed FALSE)
            elseif(_layer STREQUAL "server" AND NOT _depLayer STREQUAL "server")
                set(_allowed FALSE)
            endif()
            if(NOT _allowed)
                message(FATAL_ERROR "${_module} (${_layer}) may not depend on ${_dep} (${_depLayer}): layers only look down, and the server stands alone")
            endif()
        endforeach()
    endforeach()
endfunction()
