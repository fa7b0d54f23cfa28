# Gathers libquorvel_sdk_uniffi.so and every third-party shared library it
# needs into one directory, each with RUNPATH $ORIGIN, so that the directory
# works wherever it is copied (a Python wheel, an Android archive, a Swift
# package), together with the licence of the project and the notices of the
# third-party code it carries. The C library, libm, libdl, libpthread, librt
# and the dynamic loader stay the target system's: they are the system's
# interface, and a private copy of them cannot work beside the system's own.
# So do libstdc++ and libgcc_s: the C library itself loads libgcc_s, and
# copies of both would require a C library (GLIBC_2.36) newer than any other
# file here does, so a system able to load them already has runtimes at
# least as new as the ones they replace.
#
# The library's debug information goes to DEBUG_DIR, named by its
# .gnu_debuglink; its symbol table, where bindings generators read the
# interface metadata, stays. Each file in the PROVIDED list is bundled in
# place of the system's library of the same name.
#
#   cmake -DLIBRARY=<built library> -DOUTPUT=<directory> -DDEBUG_DIR=<directory> -DPROVIDED=<files>
#         -DSOURCE_DIR=<source tree> -DPATCHELF=<patchelf> -DOBJCOPY=<objcopy> -P bundle.cmake
cmake_minimum_required(VERSION 3.25)
foreach(var LIBRARY OUTPUT DEBUG_DIR PROVIDED SOURCE_DIR PATCHELF OBJCOPY)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "bundle.cmake: -D${var}=... is required")
  endif()
endforeach()

set(system_libraries "^(libc|libm|libmvec|libdl|libpthread|librt|libutil|libresolv|ld-linux-x86-64|libstdc\\+\\+|libgcc_s)\\.so")
file(GET_RUNTIME_DEPENDENCIES
  LIBRARIES ${LIBRARY}
  RESOLVED_DEPENDENCIES_VAR dependencies
  UNRESOLVED_DEPENDENCIES_VAR unresolved
  PRE_EXCLUDE_REGEXES ${system_libraries})
if(unresolved)
  message(FATAL_ERROR "bundle: cannot resolve ${unresolved}")
endif()

file(REMOVE_RECURSE ${OUTPUT})
file(MAKE_DIRECTORY ${OUTPUT} ${DEBUG_DIR})

# Each file is copied under the name the loader looks for: a dependency under
# the name it was found by (its DT_NEEDED entry), the library under the name
# hosts open. A hook may change the copy before its RUNPATH is set.
function(copy_into_bundle source name)
  file(REAL_PATH ${source} real)
  file(COPY_FILE ${real} ${OUTPUT}/${name})
  file(CHMOD ${OUTPUT}/${name} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
       WORLD_READ WORLD_EXECUTE)
endfunction()

function(set_origin_runpath name)
  execute_process(COMMAND ${PATCHELF} --set-rpath $ORIGIN ${OUTPUT}/${name} COMMAND_ERROR_IS_FATAL ANY)
endfunction()

function(bundle_file source name)
  copy_into_bundle(${source} ${name})
  set_origin_runpath(${name})
endfunction()

# The debug information leaves before patchelf runs: patchelf may add a
# segment for the longer RUNPATH, and objcopy, rewriting the file's layout
# afterwards, can leave that segment's offset and address on different page
# offsets, which the loader refuses ("ELF load command address/offset not
# page-aligned"; seen with clang-built libraries).
set(debug_file ${DEBUG_DIR}/libquorvel_sdk_uniffi.so.debug)
execute_process(COMMAND ${OBJCOPY} --only-keep-debug ${LIBRARY} ${debug_file} COMMAND_ERROR_IS_FATAL ANY)
copy_into_bundle(${LIBRARY} libquorvel_sdk_uniffi.so)
execute_process(COMMAND ${OBJCOPY} --strip-debug --add-gnu-debuglink=${debug_file} ${OUTPUT}/libquorvel_sdk_uniffi.so
                COMMAND_ERROR_IS_FATAL ANY)
set_origin_runpath(libquorvel_sdk_uniffi.so)

foreach(file IN LISTS PROVIDED)
  get_filename_component(name ${file} NAME)
  set(provided_${name} ${file})
endforeach()
foreach(dependency IN LISTS dependencies)
  get_filename_component(name ${dependency} NAME)
  if(DEFINED provided_${name})
    bundle_file(${provided_${name}} ${name})
    unset(provided_${name})
  else()
    bundle_file(${dependency} ${name})
  endif()
endforeach()
foreach(file IN LISTS PROVIDED)
  get_filename_component(name ${file} NAME)
  if(DEFINED provided_${name})
    message(FATAL_ERROR "bundle: ${name} is provided, but the library does not need it")
  endif()
endforeach()

file(COPY ${SOURCE_DIR}/LICENSE ${SOURCE_DIR}/licenses DESTINATION ${OUTPUT})
list(LENGTH dependencies count)
message(STATUS "bundle: libquorvel_sdk_uniffi.so and ${count} libraries in ${OUTPUT}")
