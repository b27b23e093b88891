# The deflate library that compresses and inflates the bodies of mark "F",
# chosen here once for the whole build:
#
#   -DVEXLOR_DEFLATE=libdeflate   libdeflate's whole-buffer functions
#   -DVEXLOR_DEFLATE=zlib         zlib
#
# Left unset, libdeflate where it is found, else zlib; the Windows build
# always takes zlib. Both write standard zlib streams and read each other's.
# Sets VEXLOR_DEFLATE_TARGET (the imported target the library links) and
# VEXLOR_DEFLATE_PC (its pkg-config name).
include_guard(GLOBAL)

set(VEXLOR_DEFLATE "" CACHE STRING "Deflate library of compressed bodies: libdeflate or zlib (empty: libdeflate where found)")
set_property(CACHE VEXLOR_DEFLATE PROPERTY STRINGS "" libdeflate zlib)
list(APPEND CMAKE_MODULE_PATH ${CMAKE_CURRENT_LIST_DIR})

set(vexlor_deflate "${VEXLOR_DEFLATE}")
if(vexlor_deflate STREQUAL "")
  set(vexlor_deflate zlib)
  if(NOT WIN32)
    find_package(Libdeflate QUIET)
    if(Libdeflate_FOUND)
      set(vexlor_deflate libdeflate)
    endif()
  endif()
endif()

if(vexlor_deflate STREQUAL "libdeflate")
  find_package(Libdeflate)
  if(NOT Libdeflate_FOUND)
    message(FATAL_ERROR "libdeflate was not found. On Debian install it with: apt-get install libdeflate-dev "
                        "(or build with -DVEXLOR_DEFLATE=zlib)")
  endif()
  set(VEXLOR_DEFLATE_TARGET Libdeflate::Libdeflate)
  set(VEXLOR_DEFLATE_PC libdeflate)
elseif(vexlor_deflate STREQUAL "zlib")
  find_package(ZLIB)
  if(NOT ZLIB_FOUND)
    message(FATAL_ERROR "zlib was not found. On Debian install it with: apt-get install zlib1g-dev")
  endif()
  set(VEXLOR_DEFLATE_TARGET ZLIB::ZLIB)
  set(VEXLOR_DEFLATE_PC zlib)
else()
  message(FATAL_ERROR "VEXLOR_DEFLATE must be libdeflate or zlib, not \"${VEXLOR_DEFLATE}\"")
endif()
set(VEXLOR_DEFLATE_LIBRARY ${vexlor_deflate})
message(STATUS "Deflate library of compressed bodies: ${VEXLOR_DEFLATE_LIBRARY}")
