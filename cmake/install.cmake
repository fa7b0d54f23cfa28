# Installation like a packaged C library: the versioned shared object, the
# header, a pkg-config file and a CMake package configuration giving the
# imported target quorvel_sdk_uniffi::quorvel_sdk_uniffi.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(QSDK_CMAKE_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/quorvel_sdk_uniffi)

# Bindings generators read the interface metadata from the library's static
# symbol table, so `cmake --install --strip` must leave it in place: it drops
# the debug information alone. This code runs before the library's own
# install step, in the same script scope, and the last block after it.
install(CODE [[
  set(QSDK_STRIP_DEBUG_ONLY FALSE)
  if(CMAKE_INSTALL_DO_STRIP)
    message(STATUS "Stripping debug information only: bindings read the metadata from the symbol table")
    set(CMAKE_INSTALL_DO_STRIP FALSE)
    set(QSDK_STRIP_DEBUG_ONLY TRUE)
  endif()
]])

install(TARGETS quorvel_sdk_uniffi EXPORT quorvel_sdk_uniffiTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  FILE_SET HEADERS DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(CODE "
  if(QSDK_STRIP_DEBUG_ONLY)
    execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --strip-debug
      \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/$<TARGET_FILE_NAME:quorvel_sdk_uniffi>\"
      COMMAND_ERROR_IS_FATAL ANY)
  endif()
")

# The project's licence and the notices of the third-party code it carries.
install(FILES ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/licenses DESTINATION ${CMAKE_INSTALL_DOCDIR})

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
