# The tests of the Windows build: the system-neutral suites that need no Linux-only test
# support (the deterministic test font hooks FreeType), plus the Windows checks in
# platform/win32/tests, built with Debian's GoogleTest sources and run under Wine.
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
include(GoogleTest)

# Every test program runs through Wine, in a prefix of its own inside the build folder, made
# on the first build (cmake/wine-prefix.sh).
set(ASKGAME_WINE_PREFIX ${PROJECT_BINARY_DIR}/wineprefix)
set(CMAKE_CROSSCOMPILING_EMULATOR env WINEPREFIX=${ASKGAME_WINE_PREFIX} WINEDEBUG=-all
    ${ASKGAME_WINE_LOADER})
# A machine may lack the loader or run no code of its word size (32-bit Wine needs the kernel's
# IA-32 emulation): the tests are then built but not registered, and configuring says why.
execute_process(COMMAND ${ASKGAME_WINE_LOADER} --version RESULT_VARIABLE ASKGAME_WINE_STATUS
                OUTPUT_QUIET ERROR_QUIET)
if(ASKGAME_WINE_STATUS EQUAL 0)
    set(ASKGAME_WINE_RUNS ON)
    set(ASKGAME_WINE_STAMP ${PROJECT_BINARY_DIR}/wineprefix.stamp)
    add_custom_command(OUTPUT ${ASKGAME_WINE_STAMP}
        COMMAND ${CMAKE_CURRENT_LIST_DIR}/wine-prefix.sh ${ASKGAME_WINE_LOADER}
                ${ASKGAME_WINE_PREFIX} ${CMAKE_CURRENT_LIST_DIR}/wine-fonts.reg ${ASKGAME_WINE_STAMP}
        DEPENDS ${CMAKE_CURRENT_LIST_DIR}/wine-prefix.sh ${CMAKE_CURRENT_LIST_DIR}/wine-fonts.reg
        COMMENT "Making the Wine prefix for the tests")
    add_custom_target(askgame_wine_prefix ALL DEPENDS ${ASKGAME_WINE_STAMP})
else()
    set(ASKGAME_WINE_RUNS OFF)
    message(STATUS "${ASKGAME_WINE_LOADER} does not run on this machine: the Windows tests are "
                   "built but not registered with CTest")
endif()

set(ASKGAME_WINDOWS_SUITES codepage markup_document markup_encoding markup_parse blend_kernels
    blend toolkit_builder toolkit_tree toolkit_delegate platform_file audience_tracker question_bank
    video_effect panel_base challenge_mode_ui free_mode_ui free_mode player_board data_skin)
set(ASKGAME_WINDOWS_TEST_SOURCES)
foreach(suite ${ASKGAME_WINDOWS_SUITES})
    list(APPEND ASKGAME_WINDOWS_TEST_SOURCES ${PROJECT_SOURCE_DIR}/tests/${suite}_test.cpp)
endforeach()
list(APPEND ASKGAME_WINDOWS_TEST_SOURCES ${PROJECT_SOURCE_DIR}/tests/support/fake_audience.cpp
     ${PROJECT_SOURCE_DIR}/tests/support/allocation_counter.cpp)
file(GLOB ASKGAME_WIN32_TEST_SOURCES CONFIGURE_DEPENDS ${WIN32_DIR}/tests/*.cpp)
# The shared test support sets environment variables the POSIX way.
set(ASKGAME_WINDOWS_TEST_PRELUDE ${WIN32_DIR}/tests/posix_env.h)

add_executable(askgame_tests ${ASKGAME_WINDOWS_TEST_SOURCES} ${ASKGAME_WIN32_TEST_SOURCES})
target_include_directories(askgame_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests)
target_compile_options(askgame_tests PRIVATE -include ${ASKGAME_WINDOWS_TEST_PRELUDE})
target_link_libraries(askgame_tests PRIVATE askgame_core gtest_main gmock gdi32 user32)
target_compile_definitions(askgame_tests PRIVATE ASKGAME_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
                                                 ASKGAME_RUNTIME_DIR="${ASKGAME_RUNTIME_DIR}")
add_dependencies(askgame_tests askgame)
if(ASKGAME_WINE_RUNS)
    add_dependencies(askgame_tests askgame_wine_prefix)
    # Wine is slow to start: one process lists the tests, and each runs with its own start-up.
    gtest_discover_tests(askgame_tests DISCOVERY_TIMEOUT 120 DISCOVERY_MODE PRE_TEST)
endif()

# The Windows test host plays the challenge demo to PNG frames, and what it wrote is checked.
if(ASKGAME_WINE_RUNS)
    set(host_output ${PROJECT_BINARY_DIR}/host-test)
    # The host was made before the emulator was chosen.
    set_target_properties(askgame-host PROPERTIES
                          CROSSCOMPILING_EMULATOR "${CMAKE_CROSSCOMPILING_EMULATOR}")
    add_test(NAME WindowsHost.StartsFromNoOutput COMMAND ${CMAKE_COMMAND} -E rm -rf ${host_output})
    set_tests_properties(WindowsHost.StartsFromNoOutput PROPERTIES FIXTURES_SETUP windows_host_clean)
    add_test(NAME WindowsHost.PlaysAScenarioToPngFrames
             COMMAND askgame-host run
                     --scenario ${PROJECT_SOURCE_DIR}/data/scenarios/demo-challenge.json
                     --output ${host_output} --size 320x180)
    set_tests_properties(WindowsHost.PlaysAScenarioToPngFrames PROPERTIES
                         ENVIRONMENT ASKGAME_ACP=65001 FIXTURES_REQUIRED windows_host_clean
                         FIXTURES_SETUP windows_host_output)
    add_test(NAME WindowsHost.WritesEveryFrameTheStillsAndTheScores
             COMMAND ${CMAKE_COMMAND} -DOUT=${host_output} -P ${WIN32_DIR}/tests/host_output_check.cmake)
    set_tests_properties(WindowsHost.WritesEveryFrameTheStillsAndTheScores PROPERTIES
                         FIXTURES_REQUIRED windows_host_output)
endif()
