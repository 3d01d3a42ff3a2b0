# The native end-to-end runner: drives the virtual switch in-process and the win64
# build's programs under Wine. Needs the win64 tree built first (scripts/test does).
set(TOVIRA_WIN64_DIR "${PROJECT_SOURCE_DIR}/build/win64" CACHE PATH "The win64 build tree the scenarios run")
set(TOVIRA_RELEASE_DIR "${PROJECT_SOURCE_DIR}/build/release" CACHE PATH "The release build the installer scenarios install")

add_executable(tovira_e2e_runner
  e2e_host/child_process.cpp
  e2e_host/json_field.cpp
  e2e_host/wine_session.cpp
  e2e_host/target_side.cpp
  e2e_host/scenario.cpp
  e2e_host/stopped_shell.cpp
  e2e_host/relay_e2e_test.cpp
  e2e_host/search_e2e_test.cpp
  e2e_host/display_e2e_test.cpp
  e2e_host/startup_e2e_test.cpp
  e2e_host/tools_e2e_test.cpp
  e2e_host/installer_e2e_test.cpp
  e2e_host/help_e2e_test.cpp
  e2e_host/support_log_e2e_test.cpp
  e2e_host/fault_e2e_test.cpp
  e2e_host/soak_e2e_test.cpp
  e2e_host/device_change_e2e_test.cpp
  e2e_host/independence_e2e_test.cpp
  e2e_host/reconnect_e2e_test.cpp
  e2e_host/target_order_e2e_test.cpp
  e2e_host/week_plan.cpp
  e2e_host/week_oracle.cpp
  e2e_host/week_run.cpp
  e2e_host/week_e2e_test.cpp)
target_link_libraries(tovira_e2e_runner PRIVATE tovira_virtual_switch GTest::gtest_main)
# The example target's order check is a Python script of the source tree.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
target_compile_definitions(tovira_e2e_runner PRIVATE
  TOVIRA_WIN64_DIR="${TOVIRA_WIN64_DIR}"
  TOVIRA_RELEASE_DIR="${TOVIRA_RELEASE_DIR}"
  TOVIRA_VERSION="${PROJECT_VERSION}"
  TOVIRA_VERSION_TEXT="${TOVIRA_VERSION_TEXT}"
  TOVIRA_HOST_TOOLS_DIR="${CMAKE_BINARY_DIR}/tools"
  TOVIRA_HOST_BUILD_DIR="${CMAKE_BINARY_DIR}"
  TOVIRA_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
  TOVIRA_PYTHON="${Python3_EXECUTABLE}")
add_dependencies(tovira_e2e_runner tovira_modem_lines)
tovira_project_warnings(tovira_e2e_runner)

set(prefix "${TOVIRA_WIN64_DIR}/wineprefix")
add_test(NAME e2e_wine_up COMMAND ${PROJECT_SOURCE_DIR}/scripts/wine-up ${prefix})
set_tests_properties(e2e_wine_up PROPERTIES FIXTURES_SETUP e2e_wine)
add_test(NAME e2e_wine_down COMMAND ${PROJECT_SOURCE_DIR}/scripts/wine-up --down ${prefix})
set_tests_properties(e2e_wine_down PROPERTIES FIXTURES_CLEANUP e2e_wine)
# Reconnect.* only prints figures: a benchmark (scripts/bench), not a test.
gtest_discover_tests(tovira_e2e_runner DISCOVERY_MODE PRE_TEST TEST_PREFIX "e2e." TEST_FILTER "-Reconnect.*"
  PROPERTIES FIXTURES_REQUIRED e2e_wine RESOURCE_LOCK wine_desktop TIMEOUT 120)

# Screenshots at 100 % and 200 % scaling (build/screenshots): fails when a window
# is missing or does not scale.
add_test(NAME e2e_screenshots COMMAND ${PROJECT_SOURCE_DIR}/scripts/screenshots ${TOVIRA_WIN64_DIR}/../screenshots)
set_tests_properties(e2e_screenshots PROPERTIES FIXTURES_REQUIRED e2e_wine RESOURCE_LOCK wine_desktop TIMEOUT 240)
