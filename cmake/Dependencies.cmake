# libzip (with zlib and, on Windows, mbedTLS for WinZip AES).
if(WIN32)
  if(NOT QUARNEL_DEPS OR NOT EXISTS "${QUARNEL_DEPS}/lib/libzip.a")
    message(FATAL_ERROR "Cross-built libzip not found in '${QUARNEL_DEPS}': run scripts/bootstrap")
  endif()
  add_library(quarnel_zip INTERFACE)
  target_include_directories(quarnel_zip SYSTEM INTERFACE "${QUARNEL_DEPS}/include")
  target_link_libraries(quarnel_zip INTERFACE
    "${QUARNEL_DEPS}/lib/libzip.a"
    "${QUARNEL_DEPS}/lib/libmbedcrypto.a"
    "${CMAKE_FIND_ROOT_PATH}/lib/libz.a"
    advapi32)
  target_compile_definitions(quarnel_zip INTERFACE ZIP_STATIC)
elseif(QUARNEL_FUZZ)
  # libzip with the fuzzers' instrumentation, so that faults inside it show up as well.
  if(NOT QUARNEL_DEPS OR NOT EXISTS "${QUARNEL_DEPS}/lib/libzip.a")
    message(FATAL_ERROR "Instrumented libzip not found in '${QUARNEL_DEPS}': run scripts/build-deps fuzz")
  endif()
  find_package(ZLIB REQUIRED)
  find_package(OpenSSL 3 REQUIRED COMPONENTS Crypto)
  add_library(quarnel_zip INTERFACE)
  target_include_directories(quarnel_zip SYSTEM INTERFACE "${QUARNEL_DEPS}/include")
  target_link_libraries(quarnel_zip INTERFACE "${QUARNEL_DEPS}/lib/libzip.a" OpenSSL::Crypto ZLIB::ZLIB)
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(LIBZIP REQUIRED IMPORTED_TARGET libzip)
  add_library(quarnel_zip INTERFACE)
  target_link_libraries(quarnel_zip INTERFACE PkgConfig::LIBZIP)
endif()

# GoogleTest: Debian's package natively, built from Debian's sources for mingw.
if(QUARNEL_TESTS)
  if(WIN32)
    # The win32 thread model has no std::mutex; the tests are single-threaded.
    add_compile_definitions(GTEST_HAS_PTHREAD=0)
    add_compile_options($<$<COMPILE_LANGUAGE:CXX>:-include${CMAKE_SOURCE_DIR}/cmake/gtest-win32-threads.h>)
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  else()
    find_package(GTest REQUIRED)
  endif()
endif()
