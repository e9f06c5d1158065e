# SPDX-License-Identifier: GPL-3.0-or-later
# One helper owns the test environment: every test runs headless (Qt's
# offscreen platform), in a UTF-8 C locale, with a scratch directory of its
# own as TMPDIR and KALU_SCRATCH.
#
#   kalu_add_test(NAME name SOURCES files... LIBS libs... LABELS labels...)
function(kalu_add_test)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS})
  target_include_directories(${T_NAME} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
  set(scratch ${CMAKE_BINARY_DIR}/scratch/${T_NAME})
  file(MAKE_DIRECTORY ${scratch})
  target_compile_definitions(${T_NAME} PRIVATE
    KALU_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    KALU_BINARY_DIR="${CMAKE_BINARY_DIR}"
    KALU_SCREENSHOT_DIR="${CMAKE_BINARY_DIR}/screenshots")
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  set_tests_properties(${T_NAME} PROPERTIES
    LABELS "${T_LABELS}"
    TIMEOUT 600
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8;TMPDIR=${scratch};KALU_SCRATCH=${scratch};XDG_RUNTIME_DIR=${scratch};LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0;ASAN_OPTIONS=detect_leaks=1")
endfunction()
