# The WebAssembly build: tersolite.wasm, exporting the four C functions and
# its memory, for the JavaScript package in bindings/js (which gets a copy).

# The wasm32 C++ runtime has no exceptions (nor threads). Bulk memory turns
# memcpy and memset into single instructions, which the byte-copying
# writers lean on, and 128-bit vectors scan strings sixteen bytes at a
# time; these, sign extension and saturating float conversion are in every
# engine the package targets (browsers since 2023).
add_compile_options($<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions>
                    -mbulk-memory -msimd128 -msign-ext -mnontrapping-fptoint)

# libyaml, built from Debian's source package (fetched at configure time,
# never kept in the repository).
set(TERSOLITE_LIBYAML_SOURCE "${CMAKE_BINARY_DIR}/_deps/libyaml" CACHE PATH
    "libyaml's source tree; fetched with cmake/fetch_libyaml.sh when empty")
if(NOT EXISTS "${TERSOLITE_LIBYAML_SOURCE}/src/api.c")
  execute_process(COMMAND "${PROJECT_SOURCE_DIR}/cmake/fetch_libyaml.sh" "${TERSOLITE_LIBYAML_SOURCE}"
                  RESULT_VARIABLE fetched)
  if(NOT fetched EQUAL 0)
    message(FATAL_ERROR "could not fetch libyaml's sources into ${TERSOLITE_LIBYAML_SOURCE}")
  endif()
endif()
file(STRINGS "${TERSOLITE_LIBYAML_SOURCE}/CMakeLists.txt" libyaml_version_lines
     REGEX "set \\(YAML_VERSION_(MAJOR|MINOR|PATCH) [0-9]+\\)")
foreach(line IN LISTS libyaml_version_lines)
  string(REGEX MATCH "YAML_VERSION_([A-Z]+) ([0-9]+)" _ "${line}")
  set(libyaml_${CMAKE_MATCH_1} ${CMAKE_MATCH_2})
endforeach()
if(NOT DEFINED libyaml_MAJOR OR NOT DEFINED libyaml_MINOR OR NOT DEFINED libyaml_PATCH)
  message(FATAL_ERROR "no version found in ${TERSOLITE_LIBYAML_SOURCE}/CMakeLists.txt")
endif()
# Only the reading half: the library writes YAML itself.
add_library(yaml STATIC
  ${TERSOLITE_LIBYAML_SOURCE}/src/api.c
  ${TERSOLITE_LIBYAML_SOURCE}/src/reader.c
  ${TERSOLITE_LIBYAML_SOURCE}/src/scanner.c
  ${TERSOLITE_LIBYAML_SOURCE}/src/parser.c)
target_include_directories(yaml SYSTEM PUBLIC ${TERSOLITE_LIBYAML_SOURCE}/include)
target_compile_definitions(yaml PUBLIC YAML_DECLARE_STATIC PRIVATE
  YAML_VERSION_MAJOR=${libyaml_MAJOR} YAML_VERSION_MINOR=${libyaml_MINOR} YAML_VERSION_PATCH=${libyaml_PATCH}
  YAML_VERSION_STRING="${libyaml_MAJOR}.${libyaml_MINOR}.${libyaml_PATCH}")
target_compile_options(yaml PRIVATE -w)

# tl::expected is header-only; its headers sit among the host's, which the
# sysroot keeps out, so the build sees them through a folder of its own.
find_path(TERSOLITE_TL_EXPECTED_DIR tl/expected.hpp PATHS /usr/local/include /usr/include NO_CMAKE_FIND_ROOT_PATH)
if(NOT TERSOLITE_TL_EXPECTED_DIR)
  message(FATAL_ERROR "tl/expected.hpp not found (Debian package libexpected-dev)")
endif()
set(tl_headers "${CMAKE_BINARY_DIR}/host-headers")
if(NOT EXISTS "${tl_headers}/tl")
  file(MAKE_DIRECTORY "${tl_headers}")
  file(CREATE_LINK "${TERSOLITE_TL_EXPECTED_DIR}/tl" "${tl_headers}/tl" SYMBOLIC)
endif()

add_library(tersolite_warnings INTERFACE)
target_compile_options(tersolite_warnings INTERFACE -Wall -Wextra)

add_library(tersolite_core STATIC ${TERSOLITE_CORE_SOURCES})
target_include_directories(tersolite_core PUBLIC src include)
target_include_directories(tersolite_core SYSTEM PUBLIC "${tl_headers}")
target_link_libraries(tersolite_core PRIVATE tersolite_warnings yaml)

# A reactor: no main; the host calls _initialize once, then the exports.
add_executable(tersolite_wasm src/lib/exports.cc)
set_target_properties(tersolite_wasm PROPERTIES OUTPUT_NAME tersolite SUFFIX .wasm)
target_link_libraries(tersolite_wasm PRIVATE tersolite_core tersolite_warnings)
target_link_options(tersolite_wasm PRIVATE
  -mexec-model=reactor
  -Wl,--export=tersolite_shrink,--export=tersolite_alloc,--export=tersolite_free,--export=tersolite_version
  # The stack below the data, so that an overflow traps instead of
  # overwriting it; 1 MiB holds the deepest document with room to spare.
  -Wl,--stack-first,-z,stack-size=1048576
  -Wl,--strip-all)
# The package is packed from bindings/js, with the licence beside the module.
add_custom_command(TARGET tersolite_wasm POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:tersolite_wasm> ${PROJECT_SOURCE_DIR}/bindings/js/tersolite.wasm
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/bindings/js/LICENSE
  COMMENT "Copying tersolite.wasm and the licence into bindings/js")

if(TERSOLITE_BUILD_TESTS)
  enable_testing()
  add_subdirectory(tests/wasm)
endif()
