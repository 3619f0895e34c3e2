# Shared build rules: warnings, sanitizers, and one library per folder.

set(HV_WARNINGS -Wall -Wextra -Werror -Wno-unused-parameter)
# GCC 12's optimiser reports std::string concatenation as overlapping copies
# (a known false alarm at -O2 and above).
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  list(APPEND HV_WARNINGS -Wno-restrict)
endif()

if(HALVORAN_SANITIZE)
  add_compile_options(-fsanitize=${HALVORAN_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${HALVORAN_SANITIZE})
endif()

# The fuzz build instruments everything for coverage and sanitizes it alike,
# so the fuzz targets see inside the libraries they call.
if(HALVORAN_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# Every source below a folder belongs to its target, so a new file needs no
# edit here. A folder with no sources yet gives an interface library.
function(hv_library name dir)
  cmake_parse_arguments(A "" "" "DEPS;PRIVATE_DEPS;EXCLUDE" ${ARGN})
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.c)
  foreach(ex IN LISTS A_EXCLUDE)
    list(FILTER srcs EXCLUDE REGEX "${ex}")
  endforeach()
  if(srcs)
    add_library(${name} STATIC ${srcs})
    target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
    target_compile_options(${name} PRIVATE ${HV_WARNINGS})
    target_link_libraries(${name} PUBLIC ${A_DEPS} PRIVATE ${A_PRIVATE_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${A_DEPS})
  endif()
endfunction()

# One GoogleTest executable per folder of tests/, run as one CTest test.
function(hv_test name dir)
  cmake_parse_arguments(A "" "" "DEPS;LABELS" ${ARGN})
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(NOT srcs)
    return()
  endif()
  add_executable(${name} ${srcs})
  target_compile_options(${name} PRIVATE ${HV_WARNINGS})
  target_link_libraries(${name} PRIVATE ${A_DEPS} hv_testsupport GTest::gmock GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES LABELS "${A_LABELS}" TIMEOUT 900
    ENVIRONMENT "LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0")
endfunction()
