# Fails the tolvane.efi build when the linked image holds a relocation other than
# R_X86_64_RELATIVE: gnu-efi's start-up code applies only those and skips the
# rest silently, which would leave a pointer unrelocated and crash the firmware.
# Usage: cmake -DREADELF=readelf -DIMAGE=tolvane.so -P check_relocations.cmake
execute_process(COMMAND ${READELF} -rW ${IMAGE} OUTPUT_VARIABLE listing RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "readelf failed on ${IMAGE}")
endif()
string(REGEX MATCHALL "R_X86_64_[A-Z0-9_]+[^\n]*" relocations "${listing}")
set(bad)
foreach(line IN LISTS relocations)
  if(NOT line MATCHES "^R_X86_64_(RELATIVE|NONE)")
    list(APPEND bad "${line}")
  endif()
endforeach()
if(bad)
  list(JOIN bad "\n  " text)
  message(FATAL_ERROR "${IMAGE}: relocations the UEFI loader would not apply:\n  ${text}")
endif()
