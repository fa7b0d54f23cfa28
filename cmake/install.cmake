# Installation like a packaged C library: the versioned shared object, the
# header, a pkg-config file and a CMake package configuration giving the
# imported target quorvel_sdk_uniffi::quorvel_sdk_uniffi.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(QSDK_CMAKE_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/quorvel_sdk_uniffi)

# Bindings generators read the interface metadata from the library's static
# symbol table, so `cmake --install --strip` must leave it in place. This code
# runs before the library's own install step, in the same script scope.
install(CODE [[
  if(CMAKE_INSTALL_DO_STRIP)
    message(STATUS "Keeping the symbol table of libquorvel_sdk_uniffi: bindings read its metadata from it")
    set(CMAKE_INSTALL_DO_STRIP FALSE)
  endif()
]])

install(TARGETS quorvel_sdk_uniffi EXPORT quorvel_sdk_uniffiTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  FILE_SET HEADERS DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

install(EXPORT quorvel_sdk_uniffiTargets NAMESPACE quorvel_sdk_uniffi:: DESTINATION ${QSDK_CMAKE_PACKAGE_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/quorvel_sdk_uniffiConfig.cmake.in
  ${CMAKE_BINARY_DIR}/quorvel_sdk_uniffiConfig.cmake INSTALL_DESTINATION ${QSDK_CMAKE_PACKAGE_DIR})
# The SONAME carries the major version, so any release of one major version serves.
write_basic_package_version_file(${CMAKE_BINARY_DIR}/quorvel_sdk_uniffiConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/quorvel_sdk_uniffiConfig.cmake ${CMAKE_BINARY_DIR}/quorvel_sdk_uniffiConfigVersion.cmake
  DESTINATION ${QSDK_CMAKE_PACKAGE_DIR})

# The .pc file finds its prefix from its own location (${pcfiledir}), so it
# stays right for `cmake --install --prefix` and for a moved prefix.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}" OR IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
  message(FATAL_ERROR "CMAKE_INSTALL_LIBDIR and CMAKE_INSTALL_INCLUDEDIR must be relative to the prefix")
endif()
file(RELATIVE_PATH QSDK_PC_PREFIX_FROM_PCDIR /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" QSDK_PC_PREFIX_FROM_PCDIR "${QSDK_PC_PREFIX_FROM_PCDIR}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/quorvel_sdk_uniffi.pc.in ${CMAKE_BINARY_DIR}/quorvel_sdk_uniffi.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/quorvel_sdk_uniffi.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
