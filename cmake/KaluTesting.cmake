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
  target_compile_definitions(${T_NAME} PRIVATE
    KALU_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    KALU_BINARY_DIR="${CMAKE_BINARY_DIR}"
    KALU_SCREENSHOT_DIR="${CMAKE_BINARY_DIR}/screenshots")
  kalu_test_environment(${T_NAME} ${T_NAME} "${T_LABELS}" "")
endfunction()

#   kalu_add_test_variant(NAME name TARGET test ARGS args... ENV vars...)
# Runs an existing test executable again, with arguments and environment
# variables of its own (another screen's pixel ratio, say).
function(kalu_add_test_variant)
  cmake_parse_arguments(T "" "NAME;TARGET" "ARGS;ENV" ${ARGN})
  get_test_property(${T_TARGET} LABELS labels)
  kalu_test_environment(${T_NAME} ${T_TARGET} "${labels}" "${T_ENV}" ${T_ARGS})
endfunction()

function(kalu_test_environment name target labels env)
  set(scratch ${CMAKE_BINARY_DIR}/scratch/${name})
  file(MAKE_DIRECTORY ${scratch})
  add_test(NAME ${name} COMMAND ${target} ${ARGN})
  set_tests_properties(${name} PROPERTIES
    LABELS "${labels}"
    TIMEOUT 600
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8;TMPDIR=${scratch};KALU_SCRATCH=${scratch};XDG_RUNTIME_DIR=${scratch};LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0;ASAN_OPTIONS=detect_leaks=1;${env}")
endfunction()
