# Shared build settings: warnings, sanitizers, Wine, the per-mode programs.

option(TOVIRA_WERROR "Treat warnings in Tovira's own code as errors" ON)
option(TOVIRA_PLAIN_IDLE_PAUSE "Plain 10 ms idle pause in the frame step (only to measure what the early wake-up gains)" OFF)
if(TOVIRA_PLAIN_IDLE_PAUSE)
  add_compile_definitions(TOVIRA_PLAIN_IDLE_PAUSE)
endif()
option(TOVIRA_REPRODUCIBLE "Build byte-identical programs from the same commit: no time stamps, no build paths, no symbols" OFF)
if(TOVIRA_REPRODUCIBLE)
  add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}=tovira -ffile-prefix-map=${CMAKE_BINARY_DIR}=build)
  add_link_options(-s)
  # GCC 12's optimiser reports string copies inside libstdc++ as overlapping
  # (GCC bug 105329), a false alarm that -Werror would turn into a failed build.
  add_compile_options(-Wno-restrict)
  if(WIN32)
    add_link_options(-Wl,--no-insert-timestamp)
  endif()
endif()
option(TOVIRA_BENCH "Build the native benchmarks (Google Benchmark)" OFF)
option(TOVIRA_FUZZ "Build the frame-stream fuzzer (clang)" OFF)
option(TOVIRA_E2E "Build the native end-to-end runner (needs the win64 build)" OFF)
set(TOVIRA_SANITIZER "" CACHE STRING "Native sanitizer: address (with undefined), thread, or empty")

function(tovira_project_warnings target)
  target_link_libraries(${target} PRIVATE tovira_sanitizers)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion)
  if(TOVIRA_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  if(WIN32)
    target_compile_definitions(${target} PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0A00)
  endif()
endfunction()

# Sanitizers reach Tovira's own targets through this interface library, so that
# test support loaded into other programs (the modem-line shim) stays plain.
add_library(tovira_sanitizers INTERFACE)
if(NOT WIN32 AND TOVIRA_SANITIZER STREQUAL "address")
  target_compile_options(tovira_sanitizers INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(tovira_sanitizers INTERFACE -fsanitize=address,undefined)
elseif(NOT WIN32 AND TOVIRA_SANITIZER STREQUAL "thread")
  target_compile_options(tovira_sanitizers INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(tovira_sanitizers INTERFACE -fsanitize=thread)
endif()

# The version: project(... VERSION) in CMakeLists.txt is its only source. From it
# come the resource script's version.h and the manifest (build/<tree>/version/),
# the installer's version and the published file names (scripts/release reads
# build/<tree>/version/version.txt), and the tests' TOVIRA_VERSION definitions.
if(NOT PROJECT_VERSION MATCHES "^[0-9]+\\.[0-9]+\\.[0-9]+\\.[0-9]+$")
  message(FATAL_ERROR "The version must have four numbers (a.b.c.d), not ${PROJECT_VERSION}")
endif()
string(REPLACE "." ", " TOVIRA_VERSION_TEXT "${PROJECT_VERSION}")
# The product owner's settings; they go into version.h as C strings (no quotes or
# backslashes in them).
set(TOVIRA_MAKER_NAME "brelkin" CACHE STRING "The maker's name: the version dialog's first maker line (CompanyName)")
set(TOVIRA_MAKER_WEB "https://brelkin.example/" CACHE STRING "The maker's web address: the version dialog's second maker line")
# The help page, installed beside Tovira.exe.
set(TOVIRA_HELP_PAGE "ToviraHelp.html")
set(TOVIRA_MANUAL_ADDRESS "${TOVIRA_HELP_PAGE}" CACHE STRING
  "What the help command opens: an address (https://...) or a file name beside Tovira.exe (default: the help page installed there)")
foreach(setting TOVIRA_MAKER_NAME TOVIRA_MAKER_WEB TOVIRA_MANUAL_ADDRESS)
  string(FIND "${${setting}}" "\"" quote)
  string(FIND "${${setting}}" "\\" backslash)
  if(NOT quote EQUAL -1 OR NOT backslash EQUAL -1)
    message(FATAL_ERROR "${setting} may hold no quote and no backslash: ${${setting}}")
  endif()
endforeach()
set(TOVIRA_VERSION_DIR ${CMAKE_BINARY_DIR}/version)
configure_file(${PROJECT_SOURCE_DIR}/ui/resources/version.h.in ${TOVIRA_VERSION_DIR}/version.h @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/ui/resources/tovira.manifest.in ${TOVIRA_VERSION_DIR}/tovira.manifest @ONLY)
file(CONFIGURE OUTPUT ${TOVIRA_VERSION_DIR}/version.txt CONTENT "@PROJECT_VERSION@\n" @ONLY)

if(WIN32 AND CMAKE_CROSSCOMPILING)
  # Each build tree has its own Wine prefix; CTest runs Windows programs through it.
  set(TOVIRA_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix" CACHE PATH "Wine prefix of this build tree")
  set(CMAKE_CROSSCOMPILING_EMULATOR "${PROJECT_SOURCE_DIR}/scripts/wine-run;${TOVIRA_WINEPREFIX}")
endif()

# One Tovira.exe per target mode, each in its own folder: build/<preset>/modeN/Tovira.exe.
# The pictures and icons, drawn by a script of the repository, and the resource
# script that carries them into a program.
function(tovira_add_artwork)
  set(artwork_dir ${CMAKE_BINARY_DIR}/artwork)
  set(artwork_files ${artwork_dir}/artwork.rc ${artwork_dir}/hrm_enable.ico ${artwork_dir}/hrm_disable.ico
      ${artwork_dir}/hrm_low_battery.ico)
  foreach(picture btn_on btn_off enable disable low_bat decoration version_picture)
    list(APPEND artwork_files ${artwork_dir}/${picture}.bmp)
    foreach(scale 125 150 175 200 250 300)
      list(APPEND artwork_files ${artwork_dir}/${picture}_${scale}.bmp)
    endforeach()
  endforeach()
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  add_custom_command(OUTPUT ${artwork_files}
    COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/ui/resources/draw_artwork.py ${artwork_dir}
    DEPENDS ${PROJECT_SOURCE_DIR}/ui/resources/draw_artwork.py
    COMMENT "Drawing the pictures and icons")
  add_custom_target(tovira_artwork DEPENDS ${artwork_files})
  set_source_files_properties(${PROJECT_SOURCE_DIR}/ui/resources/tovira.rc PROPERTIES
    OBJECT_DEPENDS "${artwork_files};${TOVIRA_VERSION_DIR}/version.h;${TOVIRA_VERSION_DIR}/tovira.manifest")
endfunction()

# Gives a program the resources: pictures, icons, dialog, version, manifest.
function(tovira_add_resources target)
  target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/ui/resources/tovira.rc)
  target_include_directories(${target} PRIVATE ${CMAKE_BINARY_DIR}/artwork ${TOVIRA_VERSION_DIR})
  add_dependencies(${target} tovira_artwork)
endfunction()

# One Tovira.exe per target mode, each in its own folder with the help page:
# build/<preset>/modeN/Tovira.exe and ToviraHelp.html.
function(tovira_add_programs)
  foreach(mode 1 2 3)
    set(target tovira_mode${mode})
    add_executable(${target} WIN32
      ${PROJECT_SOURCE_DIR}/app/main_win32.cpp
      ${PROJECT_SOURCE_DIR}/app/build_mode.cpp)
    target_compile_definitions(${target} PRIVATE TOVIRA_TARGET_MODE=${mode})
    target_link_libraries(${target} PRIVATE tovira_win32)
    target_link_options(${target} PRIVATE -municode)
    tovira_add_resources(${target})
    tovira_project_warnings(${target})
    set_target_properties(${target} PROPERTIES
      OUTPUT_NAME Tovira
      RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/mode${mode})
    # The help page beside the program, as the installer puts it.
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${CMAKE_COMMAND} -E copy_if_different ${PROJECT_SOURCE_DIR}/ui/resources/${TOVIRA_HELP_PAGE}
              ${CMAKE_BINARY_DIR}/mode${mode}/${TOVIRA_HELP_PAGE})
  endforeach()
endfunction()
