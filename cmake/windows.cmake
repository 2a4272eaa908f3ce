# The Windows build (included by the top-level CMakeLists.txt when the target is Windows, e.g.
# through cmake/mingw-w64-i686.cmake). It builds the same plug-in sources over the platform
# layer's Windows backend: askgame.dll, askgame-platform.dll, askgame-toolkit.dll (the toolkit
# stand-in) and the Windows test host, all side by side in bin/.
set(ASKGAME_RUNTIME_DIR ${PROJECT_BINARY_DIR}/bin)
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${ASKGAME_RUNTIME_DIR})
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${ASKGAME_RUNTIME_DIR})
set(CMAKE_SHARED_LIBRARY_PREFIX "")
set(CMAKE_IMPORT_LIBRARY_PREFIX "")
find_package(Threads REQUIRED)

# The compiler's own runtime is linked into each module (and kept out of its exports), so the
# DLLs need nothing beside them but each other.
add_link_options(-static-libgcc -static-libstdc++ -Wl,--exclude-libs,libgcc.a:libgcc_eh.a:libstdc++.a:libwinpthread.a
                 -Wl,-Bstatic,--whole-archive -lwinpthread
                 -Wl,--no-whole-archive,-Bdynamic)
add_compile_definitions(UNICODE _UNICODE)

set(WIN32_DIR ${PROJECT_SOURCE_DIR}/platform/win32)

# The platform layer: the Windows backend plus the system-neutral pieces.
add_library(askgame-platform SHARED
    ${WIN32_DIR}/native.cpp ${WIN32_DIR}/gdi.cpp ${WIN32_DIR}/codepage.cpp
    ${WIN32_DIR}/file.cpp ${WIN32_DIR}/file_read.cpp ${WIN32_DIR}/shell.cpp ${WIN32_DIR}/debug.cpp
    ${WIN32_DIR}/cpu.cpp
    ${PROJECT_SOURCE_DIR}/platform/utf.cpp ${PROJECT_SOURCE_DIR}/platform/shell_presenters.cpp)
target_include_directories(askgame-platform PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(askgame-platform PRIVATE gdi32 user32 shell32 comdlg32)

# The plug-in's markup reader, which the toolkit stand-in also reads skins with here.
file(GLOB ASKGAME_MARKUP_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/markup/*.cpp)
list(FILTER ASKGAME_MARKUP_SOURCES EXCLUDE REGEX ".*/markup/large_buffer\\.cpp$")
add_library(askgame_markup STATIC ${ASKGAME_MARKUP_SOURCES} ${WIN32_DIR}/large_buffer.cpp)
target_include_directories(askgame_markup PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/include)
target_link_libraries(askgame_markup PUBLIC askgame-platform)

file(GLOB ASKGAME_TOOLKIT_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/toolkit/*.cpp)
list(FILTER ASKGAME_TOOLKIT_SOURCES EXCLUDE REGEX ".*/toolkit/ui_builder\\.cpp$")
add_library(askgame-toolkit SHARED ${ASKGAME_TOOLKIT_SOURCES} ${WIN32_DIR}/ui_builder_markup.cpp)
target_include_directories(askgame-toolkit PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(askgame-toolkit PUBLIC askgame-platform PRIVATE askgame_markup)

file(GLOB_RECURSE ASKGAME_CORE_SOURCES CONFIGURE_DEPENDS
     ${PROJECT_SOURCE_DIR}/plugin/*.cpp ${PROJECT_SOURCE_DIR}/render/*.cpp
     ${PROJECT_SOURCE_DIR}/game/*.cpp ${PROJECT_SOURCE_DIR}/ui/*.cpp)
list(FILTER ASKGAME_CORE_SOURCES EXCLUDE REGEX ".*/plugin/(library_load|entry_points)\\.cpp$")
# No AVX-512 kernel here: GCC for Windows does not align the stack for spilled 64-byte registers
# (GCC bug 54412), so the DLL stops at the AVX2 kernel.
list(FILTER ASKGAME_CORE_SOURCES EXCLUDE REGEX ".*/render/blend_avx512\\.cpp$")
add_library(askgame_core STATIC ${ASKGAME_CORE_SOURCES})
target_include_directories(askgame_core PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/include)
target_link_libraries(askgame_core PUBLIC askgame_markup askgame-platform askgame-toolkit
                                          Threads::Threads)
# The i686 baseline has no SSE2: the vector row kernels get their instructions per file and run
# only after the processor check says they are there.
set_source_files_properties(${PROJECT_SOURCE_DIR}/render/blend_sse2.cpp
                            PROPERTIES COMPILE_OPTIONS "-msse2")
set_source_files_properties(${PROJECT_SOURCE_DIR}/render/blend_avx2.cpp
                            PROPERTIES COMPILE_OPTIONS "-mavx2")

# The product. The .def file is the export table: exactly the three entry points, cdecl and
# undecorated, as the host's function-pointer types declare them.
add_library(askgame SHARED ${PROJECT_SOURCE_DIR}/plugin/entry_points.cpp
            ${WIN32_DIR}/dll_entry.cpp ${WIN32_DIR}/dll_entry_bridge.cpp ${WIN32_DIR}/askgame.def)
target_link_libraries(askgame PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,askgame_core>")
# The visibility attribute on the entry points means nothing to PE; the .def file exports them.
set_source_files_properties(${PROJECT_SOURCE_DIR}/plugin/entry_points.cpp
                            PROPERTIES COMPILE_OPTIONS "-Wno-attributes")

add_custom_target(askgame_data ALL
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${PROJECT_SOURCE_DIR}/data ${ASKGAME_RUNTIME_DIR}
    COMMENT "Copying data into ${ASKGAME_RUNTIME_DIR}")
add_dependencies(askgame askgame_data)

# The platform and toolkit DLLs export their whole C++ interface, as their .so twins do.
target_link_options(askgame-platform PRIVATE -Wl,--export-all-symbols)
target_link_options(askgame-toolkit PRIVATE -Wl,--export-all-symbols)

# The Windows test host: the hosting library's batch player over the Windows loader, stb's PNG
# writer and no child programs. Its header-only libraries come from the build machine's
# /usr/include, through a folder that holds only them.
set(ASKGAME_HOST_HEADERS ${PROJECT_BINARY_DIR}/host-headers)
foreach(library nlohmann CLI stb)
    if(NOT EXISTS /usr/include/${library})
        message(FATAL_ERROR "/usr/include/${library} is missing: run scripts/setup")
    endif()
    file(MAKE_DIRECTORY ${ASKGAME_HOST_HEADERS})
    file(CREATE_LINK /usr/include/${library} ${ASKGAME_HOST_HEADERS}/${library} SYMBOLIC)
endforeach()
include(${CMAKE_CURRENT_LIST_DIR}/demo_data.cmake)
askgame_demo_data(${PROJECT_BINARY_DIR}/host/demo_data.cpp)
set(HOSTING_DIR ${PROJECT_SOURCE_DIR}/hosting)
add_executable(askgame-host
    ${PROJECT_SOURCE_DIR}/host/win32/main.cpp ${PROJECT_SOURCE_DIR}/host/demo.cpp
    ${PROJECT_SOURCE_DIR}/host/command_line.cpp
    ${PROJECT_BINARY_DIR}/host/demo_data.cpp
    ${HOSTING_DIR}/win32/system_library.cpp ${HOSTING_DIR}/win32/subprocess.cpp
    ${HOSTING_DIR}/win32/png_still.cpp ${HOSTING_DIR}/audience_source.cpp
    ${HOSTING_DIR}/encoder_input.cpp ${HOSTING_DIR}/yuv_convert.cpp ${HOSTING_DIR}/picture.cpp
    ${HOSTING_DIR}/frame.cpp
    ${HOSTING_DIR}/frame_io.cpp
    ${HOSTING_DIR}/game_presenters.cpp ${HOSTING_DIR}/hosted_game.cpp ${HOSTING_DIR}/player.cpp
    ${HOSTING_DIR}/plugin_loader.cpp ${HOSTING_DIR}/png_sequence.cpp ${HOSTING_DIR}/progress.cpp
    ${HOSTING_DIR}/scenario.cpp ${HOSTING_DIR}/scores.cpp ${HOSTING_DIR}/test_card.cpp
    ${HOSTING_DIR}/transcript.cpp)
target_include_directories(askgame-host PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/include)
target_include_directories(askgame-host SYSTEM PRIVATE ${ASKGAME_HOST_HEADERS})
target_link_libraries(askgame-host PRIVATE askgame-platform askgame-toolkit Threads::Threads)
add_dependencies(askgame-host askgame)

if(ASKGAME_TESTS)
    enable_testing()
    include(${CMAKE_CURRENT_LIST_DIR}/windows_tests.cmake)
endif()
