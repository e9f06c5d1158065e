# SPDX-License-Identifier: GPL-3.0-or-later
# Checks that an executable carries the hardening the build asks for: full
# RELRO (a GNU_RELRO segment and immediate binding), stack canaries and, when
# FORTIFY is true, the checked forms of the C library's string and I/O calls.
#
#   cmake -DBINAIRE=path -DFORTIFY=1|0 -P KaluHardening.cmake
execute_process(COMMAND readelf -W -l -d --dyn-syms ${BINAIRE}
                OUTPUT_VARIABLE elf RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "readelf failed on ${BINAIRE}")
endif()
set(manque "")
if(NOT elf MATCHES "GNU_RELRO")
  list(APPEND manque "RELRO segment")
endif()
if(NOT elf MATCHES "\\(BIND_NOW\\)|\\(FLAGS\\)[^\n]*BIND_NOW|FLAGS_1\\)[^\n]*NOW")
  list(APPEND manque "immediate binding (-z now)")
endif()
if(NOT elf MATCHES "__stack_chk_fail")
  list(APPEND manque "stack protector")
endif()
if(FORTIFY AND NOT elf MATCHES "__[a-z]+_chk")
  list(APPEND manque "_FORTIFY_SOURCE checked calls")
endif()
if(manque)
  message(FATAL_ERROR "${BINAIRE} lacks: ${manque}")
endif()
message(STATUS "${BINAIRE}: full RELRO, stack protector, fortify=${FORTIFY}")
