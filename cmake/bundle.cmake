# Gathers libquorvel_sdk_uniffi.so and every third-party shared library it
# needs into one directory, each with RUNPATH $ORIGIN, so that the directory
# works wherever it is copied (a Python wheel, an Android archive, a Swift
# package). The C library, libm, libdl, libpthread, librt and the dynamic
# loader stay the target system's: they are the system's interface, and a
# private copy of them cannot work beside the system's own. libstdc++ and
# libgcc_s are bundled: a host such as Python does not bring them, and the
# target's may be older than the ones we were built against.
#
#   cmake -DLIBRARY=<built library> -DOUTPUT=<directory> -DPATCHELF=<patchelf> -P bundle.cmake
cmake_minimum_required(VERSION 3.25)
foreach(var LIBRARY OUTPUT PATCHELF)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "bundle.cmake: -D${var}=... is required")
  endif()
endforeach()

set(system_libraries "^(libc|libm|libmvec|libdl|libpthread|librt|libutil|libresolv|ld-linux-x86-64)\\.so")
file(GET_RUNTIME_DEPENDENCIES
  LIBRARIES ${LIBRARY}
  RESOLVED_DEPENDENCIES_VAR dependencies
  UNRESOLVED_DEPENDENCIES_VAR unresolved
  PRE_EXCLUDE_REGEXES ${system_libraries})
if(unresolved)
  message(FATAL_ERROR "bundle: cannot resolve ${unresolved}")
endif()

file(REMOVE_RECURSE ${OUTPUT})
file(MAKE_DIRECTORY ${OUTPUT})

# Each file is copied under the name the loader looks for: a dependency under
# the name it was found by (its DT_NEEDED entry), the library under the name
# hosts open.
function(bundle_file source name)
  file(REAL_PATH ${source} real)
  file(COPY_FILE ${real} ${OUTPUT}/${name})
  file(CHMOD ${OUTPUT}/${name} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
       WORLD_READ WORLD_EXECUTE)
  execute_process(COMMAND ${PATCHELF} --set-rpath $ORIGIN ${OUTPUT}/${name} COMMAND_ERROR_IS_FATAL ANY)
endfunction()

bundle_file(${LIBRARY} libquorvel_sdk_uniffi.so)
foreach(dependency IN LISTS dependencies)
  get_filename_component(name ${dependency} NAME)
  bundle_file(${dependency} ${name})
endforeach()
list(LENGTH dependencies count)
message(STATUS "bundle: libquorvel_sdk_uniffi.so and ${count} libraries in ${OUTPUT}")
