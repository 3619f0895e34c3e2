# Shared build rules: warnings, sanitizers, and one library per folder.

set(HV_WARNINGS -Wall -Wextra -Wno-unused-parameter)
# Warnings stop the build only where asked (the test command asks), so that
# a newer compiler's new warning does not break a user's build.
if(HALVORAN_WERROR)
  list(APPEND HV_WARNINGS -Werror)
endif()
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

# A library that tools and tests link on their own must link what it uses,
# also what the optimiser reaches for (at -O2 with sanitizers a devirtualised
# call names another library's class). hv_link_check(lib) links the whole
# library into a shared object that may leave nothing undefined; the target
# hv_link_checks builds every such check.
add_custom_target(hv_link_checks)
function(hv_link_check lib)
  set(empty ${CMAKE_BINARY_DIR}/hv_link_check.cpp)
  if(NOT EXISTS ${empty})
    file(WRITE ${empty} "")
  endif()
  add_library(${lib}_link_check SHARED EXCLUDE_FROM_ALL ${empty})
  target_link_libraries(${lib}_link_check PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,${lib}>")
  target_link_options(${lib}_link_check PRIVATE LINKER:--no-undefined)
  add_dependencies(hv_link_checks ${lib}_link_check)
endfunction()

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

# One GoogleTest executable per folder of tests/; CTest sees each of its
# suites as an entry "FOLDER.Suite" once it is built (DiscoverSuites.cmake;
# the suites of a file that starts a JACK server share one entry), labelled
# AREA, or by file-name prefix (PREFIX_AREAS "prefix=area ..."), and by the
# file's "// ctest-labels:" line.
function(hv_test name dir)
  cmake_parse_arguments(A "" "AREA" "DEPS;PREFIX_AREAS" ${ARGN})
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(NOT srcs)
    return()
  endif()
  add_executable(${name} ${srcs})
  target_compile_options(${name} PRIVATE ${HV_WARNINGS})
  target_link_libraries(${name} PRIVATE ${A_DEPS} hv_testsupport GTest::gmock GTest::gtest_main)

  get_filename_component(folder ${dir} NAME)
  if(NOT A_AREA)
    set(A_AREA ${folder})
  endif()
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${name}_suites.cmake)
  # Under sanitizers on a loaded machine one JACK call can take seconds: the
  # MIDI time limit is raised (the suites that stop a server set it back).
  set(env "LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0|HALVORAN_MIDI_CALL_LIMIT_MS=30000")
  list(JOIN A_PREFIX_AREAS "," prefix_areas)
  add_custom_command(TARGET ${name} POST_BUILD BYPRODUCTS ${out}
    COMMAND ${CMAKE_COMMAND} -DEXE=$<TARGET_FILE:${name}> -DDIR=${dir} -DTESTS_DIR=${CMAKE_SOURCE_DIR}/tests
      -DFOLDER=${folder} -DAREA=${A_AREA} -DPREFIX_AREAS=${prefix_areas} -DOUT=${out} "-DENV=${env}"
      -P ${CMAKE_SOURCE_DIR}/cmake/DiscoverSuites.cmake
    VERBATIM)
  # Before the first build CTest shows one failing entry, not nothing.
  file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/${name}_include.cmake
    "if(EXISTS [=[${out}]=])\n  include([=[${out}]=])\nelse()\n"
    "  add_test([=[${folder}.NOT_BUILT]=] [=[${CMAKE_COMMAND}]=] -E false)\nendif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${CMAKE_CURRENT_BINARY_DIR}/${name}_include.cmake)

  # The programs that hold a file marked "tsan", for the ThreadSanitizer
  # build to build only those (the marker is read again at every configure).
  foreach(src IN LISTS srcs)
    file(STRINGS ${src} head LIMIT_COUNT 30 REGEX "^// ctest-labels:.*tsan")
    if(head)
      set_property(GLOBAL APPEND PROPERTY HV_TSAN_PROGRAMS ${name})
      break()
    endif()
  endforeach()
endfunction()
