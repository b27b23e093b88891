# What `cmake --install` puts under the prefix:
#
#   bin/vexlor                      the program
#   share/vexlor/                   the default definitions (Vexlor.cfg,
#                                   sidn.txt, token definitions, grammars)
#   include/vexlor/                 vexlor.h (C++) and vexlor_c.h (C)
#   <libdir>/libvexlor.a, .so       the static and the shared library
#   <libdir>/cmake/Vexlor/          the CMake package (find_package(Vexlor)),
#                                   with FindLibdeflate.cmake when the
#                                   library uses libdeflate
#   <libdir>/pkgconfig/vexlor.pc    the pkg-config file
#
# The program finds its definitions in "../share/vexlor/" beside itself, so
# bin/ and share/vexlor/ are fixed; the library directory follows
# GNUInstallDirs.
include(GNUInstallDirs)
set(VEXLOR_INSTALL_DEFINITIONS_DIR share/vexlor)
set(VEXLOR_INSTALL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Vexlor)

install(TARGETS vexlor RUNTIME DESTINATION bin)
install(FILES ${VEXLOR_DEFS} DESTINATION ${VEXLOR_INSTALL_DEFINITIONS_DIR})

if(NOT VEXLOR_LIBRARIES)
  return()
endif()

install(DIRECTORY ${CMAKE_SOURCE_DIR}/include/vexlor DESTINATION include)
install(TARGETS vexlor_shared vexlor_static EXPORT VexlorTargets
  RUNTIME DESTINATION bin
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION include)
install(EXPORT VexlorTargets NAMESPACE Vexlor:: FILE VexlorTargets.cmake DESTINATION ${VEXLOR_INSTALL_CMAKE_DIR})

include(CMakePackageConfigHelpers)
configure_package_config_file(${CMAKE_SOURCE_DIR}/cmake/VexlorConfig.cmake.in
  ${CMAKE_BINARY_DIR}/package/VexlorConfig.cmake
  INSTALL_DESTINATION ${VEXLOR_INSTALL_CMAKE_DIR}
  PATH_VARS VEXLOR_INSTALL_DEFINITIONS_DIR)
# Before 1.0 a minor version may change the interface.
if(PROJECT_VERSION_MAJOR EQUAL 0)
  set(vexlor_compatibility SameMinorVersion)
else()
  set(vexlor_compatibility SameMajorVersion)
endif()
write_basic_package_version_file(${CMAKE_BINARY_DIR}/package/VexlorConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY ${vexlor_compatibility})
install(FILES ${CMAKE_BINARY_DIR}/package/VexlorConfig.cmake ${CMAKE_BINARY_DIR}/package/VexlorConfigVersion.cmake
  DESTINATION ${VEXLOR_INSTALL_CMAKE_DIR})
# The static library's deflate dependency is found through this module.
if(VEXLOR_DEFLATE_LIBRARY STREQUAL "libdeflate")
  install(FILES ${CMAKE_SOURCE_DIR}/cmake/FindLibdeflate.cmake DESTINATION ${VEXLOR_INSTALL_CMAKE_DIR})
endif()

# vexlor.pc names its directories from its own place, so that the installed
# tree may move: prefix is ${pcfiledir} and the way up from <libdir>/pkgconfig.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(VEXLOR_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
  set(VEXLOR_PC_LIBDIR "${CMAKE_INSTALL_LIBDIR}")
else()
  file(RELATIVE_PATH vexlor_pc_up "/prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/prefix")
  string(REGEX REPLACE "/$" "" vexlor_pc_up "${vexlor_pc_up}")
  set(VEXLOR_PC_PREFIX "\${pcfiledir}/${vexlor_pc_up}")
  set(VEXLOR_PC_LIBDIR "\${prefix}/${CMAKE_INSTALL_LIBDIR}")
endif()
if(WIN32)
  set(VEXLOR_PC_CFLAGS " -DVEXLOR_SHARED")
endif()
configure_file(${CMAKE_SOURCE_DIR}/cmake/vexlor.pc.in ${CMAKE_BINARY_DIR}/package/vexlor.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/package/vexlor.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
