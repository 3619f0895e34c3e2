# Run after a test program is linked: one CTest entry per GoogleTest suite
# the program lists, labelled with the area of the file that defines the suite
# and with the labels of that file's marker line near its top:
#   // ctest-labels: tsan
# so that new files, new suites and new markers need no CMake edit.
#
# The suites that start the private JACK server (their file names
# JackServer, or a header of the tests beside it does) keep sharing one server
# as they did in one program: they run in one entry, "FOLDER.jack", labelled
# jack; those of files marked tsan in another, "FOLDER.jack-tsan". No two
# JACK entries run at once, whatever their program: JACK servers started side
# by side on one machine were seen to take a minute and more to answer, and a
# 2-core run then lost messages and timed out.
#
# The suites of files marked x11 (window suites on the private Xvfb) run
# twice: "FOLDER.Suite" on the bare server, and "FOLDER.Suite-wm", labelled
# wm, under a reparenting window manager (HV_TEST_WM=openbox). The second run
# leaves ThreadSanitizer out: the threads are the same both ways.

# In: EXE, DIR (the test sources), TESTS_DIR (the tests' include root),
# FOLDER (entry names start "FOLDER."), AREA (the default label),
# PREFIX_AREAS ("prefix=area,..." by file name), OUT (the CTest file to
# write), ENV (the entries' environment, "|" between variables).
cmake_minimum_required(VERSION 3.25)

execute_process(COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0 ${EXE} --gtest_list_tests
  OUTPUT_VARIABLE listing RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${EXE} --gtest_list_tests failed (${rc})")
endif()

# Whether the file, or a header of the tests it includes (two levels deep),
# names the JACK fixture.
function(uses_jack src out)
  set(seen "")
  set(todo ${src})
  set(depth 0)
  while(todo AND depth LESS 3)
    set(next "")
    foreach(f IN LISTS todo)
      if(f IN_LIST seen)
        continue()
      endif()
      list(APPEND seen ${f})
      file(READ ${f} text)
      if(text MATCHES "JackServer")
        set(${out} TRUE PARENT_SCOPE)
        return()
      endif()
      get_filename_component(dir ${f} DIRECTORY)
      string(REGEX MATCHALL "#include \"[^\"]+\\.h\"" incs "${text}")
      foreach(inc IN LISTS incs)
        string(REGEX REPLACE "#include \"([^\"]+)\"" "\\1" inc "${inc}")
        foreach(root IN ITEMS ${dir} ${TESTS_DIR})
          if(EXISTS ${root}/${inc})
            list(APPEND next ${root}/${inc})
            break()
          endif()
        endforeach()
      endforeach()
    endforeach()
    set(todo ${next})
    math(EXPR depth "${depth} + 1")
  endwhile()
  set(${out} FALSE PARENT_SCOPE)
endfunction()

# Suite name -> labels and file, from the sources.
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
  uses_jack(${src} jack)
  if(jack)
    list(APPEND labels jack)
  endif()
  file(READ ${src} text)
  string(REGEX MATCHALL "(TEST|TEST_F|TEST_P|TYPED_TEST|TYPED_TEST_P)\\([ \t\r\n]*[A-Za-z0-9_]+[ \t\r\n]*," defs "${text}")
  foreach(def IN LISTS defs)
    string(REGEX REPLACE "^[A-Z_]+\\([ \t\r\n]*([A-Za-z0-9_]+).*" "\\1" suite "${def}")
    set(labels_${suite} ${labels})
    set(file_${suite} ${base})
  endforeach()
endforeach()

# Entries from the suites as listed: "Suite.", "Prefix/Suite."
# (parameterised), "Suite/0." (typed); the instances of one suite share its
# entry, and the JACK suites theirs.
string(REPLACE "\n" ";" lines "${listing}")
set(entries "")
foreach(line IN LISTS lines)
  if(NOT line MATCHES "^([A-Za-z0-9_/]+)\\.")
    continue()
  endif()
  set(listed ${CMAKE_MATCH_1})
  string(REPLACE "/" ";" parts ${listed})
  set(suite "")
  foreach(p IN LISTS parts)
    if(NOT p MATCHES "^[0-9]+$")
      set(suite ${p})
    endif()
  endforeach()
  set(labels ${labels_${suite}})
  if(NOT labels)
    set(labels ${AREA})
  endif()
  set(entry ${suite})
  if("jack" IN_LIST labels)
    set(entry jack)
    if("tsan" IN_LIST labels)
      set(entry jack-tsan)
    endif()
  endif()
  if(NOT entry IN_LIST entries)
    list(APPEND entries ${entry})
    set(name_${entry} ${entry})
    set(filter_${entry} "${listed}.*")
    set(elabels_${entry} ${labels})
  else()
    string(APPEND filter_${entry} ":${listed}.*")
    list(APPEND elabels_${entry} ${labels})
  endif()
endforeach()

string(REPLACE "|" ";" env "${ENV}")
set(script "")
foreach(entry IN LISTS entries)
  set(labels ${elabels_${entry}})
  list(REMOVE_DUPLICATES labels)
  set(name "${FOLDER}.${name_${entry}}")
  string(APPEND script "add_test([=[${name}]=] [=[${EXE}]=] [=[--gtest_filter=${filter_${entry}}]=])\n"
    "set_tests_properties([=[${name}]=] PROPERTIES LABELS [=[${labels}]=] TIMEOUT 900 ENVIRONMENT [=[${env}]=])\n")
  if("jack" IN_LIST labels)
    string(APPEND script "set_tests_properties([=[${name}]=] PROPERTIES RESOURCE_LOCK jack)\n")
  elseif("x11" IN_LIST labels)
    list(REMOVE_ITEM labels tsan)
    list(APPEND labels wm)
    set(wm_env ${env} HV_TEST_WM=openbox)
    string(APPEND script "add_test([=[${name}-wm]=] [=[${EXE}]=] [=[--gtest_filter=${filter_${entry}}]=])\n"
      "set_tests_properties([=[${name}-wm]=] PROPERTIES LABELS [=[${labels}]=] TIMEOUT 900 ENVIRONMENT [=[${wm_env}]=])\n")
  endif()
endforeach()
file(WRITE ${OUT}.new "${script}")
file(COPY_FILE ${OUT}.new ${OUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUT}.new)
