# Run after a test program is linked: one CTest entry per GoogleTest suite
# the program lists, labelled with the area of the file that defines the suite
# and with the labels of that file's marker line near its top:
#   // ctest-labels: tsan
# so that new files, new suites and new markers need no CMake edit.
#
# In: EXE, DIR (the test sources), FOLDER (entry names start "FOLDER."),
# AREA (the default label), PREFIX_AREAS ("prefix=area,..." by file name),
# OUT (the CTest file to write), ENV (the entries' environment, "|" between
# variables).
cmake_minimum_required(VERSION 3.25)

execute_process(COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0 ${EXE} --gtest_list_tests
  OUTPUT_VARIABLE listing RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${EXE} --gtest_list_tests failed (${rc})")
endif()

# Suite name -> labels, from the sources.
string(REPLACE "," ";" PREFIX_AREAS "${PREFIX_AREAS}")
file(GLOB_RECURSE sources ${DIR}/*.cpp)
foreach(src IN LISTS sources)
  get_filename_component(base ${src} NAME)
  set(labels ${AREA})
  foreach(pair IN LISTS PREFIX_AREAS)
    string(REPLACE "=" ";" pair "${pair}")
    list(GET pair 0 prefix)
    list(GET pair 1 area)
    string(FIND "${base}" "${prefix}" at)
    if(at EQUAL 0)
      set(labels ${area})
      break()
    endif()
  endforeach()
  file(STRINGS ${src} head LIMIT_COUNT 30)
  foreach(line IN LISTS head)
    if(line MATCHES "^// ctest-labels:(.*)$")
      string(REGEX MATCHALL "[A-Za-z0-9_-]+" extra "${CMAKE_MATCH_1}")
      list(APPEND labels ${extra})
    endif()
  endforeach()
  file(READ ${src} text)
  string(REGEX MATCHALL "(TEST|TEST_F|TEST_P|TYPED_TEST|TYPED_TEST_P)\\([ \t\r\n]*[A-Za-z0-9_]+[ \t\r\n]*," defs "${text}")
  foreach(def IN LISTS defs)
    string(REGEX REPLACE "^[A-Z_]+\\([ \t\r\n]*([A-Za-z0-9_]+).*" "\\1" suite "${def}")
    set(labels_${suite} ${labels})
  endforeach()
endforeach()

# Suites as listed: "Suite.", "Prefix/Suite." (parameterised), "Suite/0."
# (typed); the instances of one suite share its entry.
string(REPLACE "\n" ";" lines "${listing}")
set(suites "")
foreach(line IN LISTS lines)
  if(line MATCHES "^([A-Za-z0-9_/]+)\\.")
    set(listed ${CMAKE_MATCH_1})
    string(REPLACE "/" ";" parts ${listed})
    set(suite "")
    foreach(p IN LISTS parts)
      if(NOT p MATCHES "^[0-9]+$")
        set(suite ${p})
      endif()
    endforeach()
    if(NOT suite IN_LIST suites)
      list(APPEND suites ${suite})
      set(filter_${suite} "${listed}.*")
    else()
      string(APPEND filter_${suite} ":${listed}.*")
    endif()
  endif()
endforeach()

string(REPLACE "|" ";" env "${ENV}")
set(script "")
foreach(suite IN LISTS suites)
  set(labels ${labels_${suite}})
  if(NOT labels)
    set(labels ${AREA})
  endif()
  list(REMOVE_DUPLICATES labels)
  set(name "${FOLDER}.${suite}")
  string(APPEND script "add_test([=[${name}]=] [=[${EXE}]=] [=[--gtest_filter=${filter_${suite}}]=])\n"
    "set_tests_properties([=[${name}]=] PROPERTIES LABELS [=[${labels}]=] TIMEOUT 900 ENVIRONMENT [=[${env}]=])\n")
endforeach()
file(WRITE ${OUT}.new "${script}")
file(COPY_FILE ${OUT}.new ${OUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUT}.new)
