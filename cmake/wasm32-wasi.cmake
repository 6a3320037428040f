# Cross-compiles to WebAssembly (wasm32-wasi) with Debian's clang-14, lld-14
# and its wasm32 C and C++ runtimes (wasi-libc, libc++-14-dev-wasm32,
# libc++abi-14-dev-wasm32, libclang-rt-14-dev-wasm32).
#
# clang looks for the target's headers and libraries under one sysroot; the
# Debian packages put them in /usr/include/wasm32-wasi and
# /usr/lib/wasm32-wasi, and /usr itself would bring in the host's glibc
# headers. So the sysroot is a folder of two links to those, made in the build folder
# (or give TERSOLITE_WASI_SYSROOT, e.g. a wasi-sdk's).
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR wasm32)
set(WASI ON)

set(CMAKE_C_COMPILER clang-14)
set(CMAKE_CXX_COMPILER clang++-14)
set(CMAKE_C_COMPILER_TARGET wasm32-wasi)
set(CMAKE_CXX_COMPILER_TARGET wasm32-wasi)
set(CMAKE_AR llvm-ar-14 CACHE FILEPATH "")
set(CMAKE_RANLIB llvm-ranlib-14 CACHE FILEPATH "")

list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TERSOLITE_WASI_SYSROOT)
if(NOT TERSOLITE_WASI_SYSROOT)
  set(TERSOLITE_WASI_SYSROOT "${CMAKE_BINARY_DIR}/wasi-sysroot")
  foreach(dir include lib)
    if(NOT EXISTS "${TERSOLITE_WASI_SYSROOT}/${dir}/wasm32-wasi")
      file(MAKE_DIRECTORY "${TERSOLITE_WASI_SYSROOT}/${dir}")
      file(CREATE_LINK /usr/${dir}/wasm32-wasi "${TERSOLITE_WASI_SYSROOT}/${dir}/wasm32-wasi" SYMBOLIC)
    endif()
  endforeach()
endif()
set(CMAKE_SYSROOT "${TERSOLITE_WASI_SYSROOT}")


set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
