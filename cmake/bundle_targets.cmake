# The relocatable bundle (build/bundle): the library with every third-party
# library it needs beside it, small enough for a Python wheel or a mobile
# package. Three things keep it small:
#  - the bundle's own link of the library carries Crypto++ (for Keccak-256
#    alone) and OpenSSL's libcrypto inside it, section-collected from the
#    static archives: the shared libraries would weigh 6.0 MB and 4.7 MB;
#  - ICU's data library is rebuilt holding only what UTS #46 processing
#    reads, taken from the system's own data so that it matches the libicuuc
#    shipped beside it (31 MB of locale, collation and conversion data go);
#  - the debug information stays in the build (bundle-debug/), linked to the
#    bundled library by .gnu_debuglink; the symbol table stays in the library.
find_program(QSDK_PATCHELF patchelf)
find_program(QSDK_ICUPKG icupkg HINTS /usr/sbin)
find_program(QSDK_GENCCODE genccode HINTS /usr/sbin)
find_library(QSDK_CRYPTOPP_ARCHIVE NAMES libcrypto++.a HINTS ${CRYPTOPP_LIBRARY_DIRS})
get_filename_component(QSDK_OPENSSL_LIBDIR ${OPENSSL_CRYPTO_LIBRARY} DIRECTORY)
find_library(QSDK_OPENSSL_ARCHIVE NAMES libcrypto.a HINTS ${QSDK_OPENSSL_LIBDIR})
find_library(QSDK_ICU_DATA_LIBRARY NAMES icudata HINTS ${ICU_LIBRARY_DIRS})
foreach(needed QSDK_PATCHELF QSDK_ICUPKG QSDK_GENCCODE QSDK_CRYPTOPP_ARCHIVE QSDK_OPENSSL_ARCHIVE QSDK_ICU_DATA_LIBRARY)
  if(NOT ${needed})
    message(STATUS "No bundle target: ${needed} not found (scripts/deps installs what it needs)")
    return()
  endif()
endforeach()

# The library, self-contained. --as-needed drops the shared Crypto++ and
# libcrypto the core names once the archives have supplied every symbol;
# --exclude-libs keeps the archives' symbols out of the dynamic table.
# An archive supplies only symbols still undefined when the linker reaches
# it, so the domain libraries come first, each before the ones it uses, and
# the third-party archives after them all.
set(QSDK_BUNDLE_LINK_ORDER ${QSDK_DOMAIN_FOLDERS})
list(REVERSE QSDK_BUNDLE_LINK_ORDER)
list(TRANSFORM QSDK_BUNDLE_LINK_ORDER PREPEND qsdk_)
add_library(qsdk_bundle_library SHARED)
target_link_libraries(qsdk_bundle_library PRIVATE qsdk_ffi ${QSDK_BUNDLE_LINK_ORDER} ${QSDK_CRYPTOPP_ARCHIVE}
  ${QSDK_OPENSSL_ARCHIVE})
qsdk_interface_library(qsdk_bundle_library)
target_link_options(qsdk_bundle_library PRIVATE -Wl,--gc-sections -Wl,--as-needed -Wl,--exclude-libs,ALL)
set_target_properties(qsdk_bundle_library PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bundle-link)

# ICU's data library with the UTS #46 mapping alone (uts46.nrm, about 60 KB).
# The system's data package is the data library's read-only section; icupkg
# names items after the package file, so the file keeps ICU's own name
# (icudt72l: ICU 72, little-endian), and genccode names the array after its
# input, which must be the entry point libicuuc looks for (icudt72_dat).
string(REGEX MATCH "^[0-9]+" QSDK_ICU_MAJOR ${ICU_VERSION})
set(QSDK_ICU_DATA_NAME icudt${QSDK_ICU_MAJOR})
if(CMAKE_CXX_BYTE_ORDER STREQUAL "BIG_ENDIAN")
  set(QSDK_ICU_PACKAGE ${QSDK_ICU_DATA_NAME}b)
else()
  set(QSDK_ICU_PACKAGE ${QSDK_ICU_DATA_NAME}l)
endif()
set(QSDK_ICU_ITEMS uts46.nrm)
set(data_dir ${CMAKE_BINARY_DIR}/icudata)
file(REAL_PATH ${QSDK_ICU_DATA_LIBRARY} system_icu_data)
add_custom_command(OUTPUT ${data_dir}/${QSDK_ICU_DATA_NAME}_dat.c
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${data_dir}/system ${data_dir}/items
  COMMAND ${CMAKE_COMMAND} -E make_directory ${data_dir}/system ${data_dir}/items
  COMMAND ${CMAKE_OBJCOPY} -O binary --only-section=.rodata ${system_icu_data} ${data_dir}/system/${QSDK_ICU_PACKAGE}.dat
  COMMAND ${QSDK_ICUPKG} -x ${QSDK_ICU_ITEMS} -d ${data_dir}/items ${data_dir}/system/${QSDK_ICU_PACKAGE}.dat
  COMMAND ${QSDK_ICUPKG} -a ${QSDK_ICU_ITEMS} -s ${data_dir}/items new ${data_dir}/${QSDK_ICU_PACKAGE}.dat
  COMMAND ${CMAKE_COMMAND} -E copy ${data_dir}/${QSDK_ICU_PACKAGE}.dat ${data_dir}/${QSDK_ICU_DATA_NAME}.dat
  COMMAND ${QSDK_GENCCODE} -q -d ${data_dir} ${data_dir}/${QSDK_ICU_DATA_NAME}.dat
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${data_dir}/system
  DEPENDS ${system_icu_data}
  COMMENT "Extracting ICU's UTS #46 data")
add_library(qsdk_icu_data SHARED ${data_dir}/${QSDK_ICU_DATA_NAME}_dat.c)
target_include_directories(qsdk_icu_data SYSTEM PRIVATE ${ICU_INCLUDE_DIRS})
# Loaded in place of the system's, under the same file name and SONAME.
set_target_properties(qsdk_icu_data PROPERTIES OUTPUT_NAME icudata SUFFIX .so.${QSDK_ICU_MAJOR} NO_SONAME ON
  C_VISIBILITY_PRESET default LIBRARY_OUTPUT_DIRECTORY ${data_dir})
target_link_options(qsdk_icu_data PRIVATE -Wl,-soname,libicudata.so.${QSDK_ICU_MAJOR})

set(QSDK_BUNDLE_DIR ${CMAKE_BINARY_DIR}/bundle)
file(GLOB QSDK_NOTICES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/LICENSE ${CMAKE_SOURCE_DIR}/licenses/*)
add_custom_command(OUTPUT ${QSDK_BUNDLE_DIR}/libquorvel_sdk_uniffi.so
  COMMAND ${CMAKE_COMMAND} -DLIBRARY=$<TARGET_FILE:qsdk_bundle_library> -DOUTPUT=${QSDK_BUNDLE_DIR}
          -DDEBUG_DIR=${CMAKE_BINARY_DIR}/bundle-debug -DPROVIDED=$<TARGET_FILE:qsdk_icu_data>
          -DSOURCE_DIR=${CMAKE_SOURCE_DIR} -DPATCHELF=${QSDK_PATCHELF} -DOBJCOPY=${CMAKE_OBJCOPY}
          -P ${CMAKE_SOURCE_DIR}/cmake/bundle.cmake
  DEPENDS qsdk_bundle_library qsdk_icu_data ${CMAKE_SOURCE_DIR}/cmake/bundle.cmake ${QSDK_NOTICES}
  COMMENT "Gathering the relocatable bundle")
add_custom_target(bundle ALL DEPENDS ${QSDK_BUNDLE_DIR}/libquorvel_sdk_uniffi.so)
