# Helpers that turn the source folders into library, test and benchmark targets.
# Sources are globbed so that adding a file needs no edit of a shared list.

function(tavo_add_library name)
  cmake_parse_arguments(ARG "" "" "DIRS;DEPS" ${ARGN})
  set(sources)
  foreach(dir ${ARG_DIRS})
    file(GLOB found CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp)
    list(APPEND sources ${found})
  endforeach()
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
  endif()
endfunction()

# Names a CTest resource lock for the tests of the given test executables (targets named after
# their source, e.g. host_mainTest): tests holding the same lock never run at the
# same time. Call it before tavo_add_tests adds those executables.
function(tavo_test_lock lock)
  foreach(target ${ARGN})
    set_property(GLOBAL PROPERTY TAVO_TEST_LOCK_${target} ${lock})
    set_property(GLOBAL APPEND PROPERTY TAVO_LOCKED_TEST_TARGETS ${target})
  endforeach()
endfunction()

# Fails the configuration when a target named to tavo_test_lock was never added: a renamed test
# file would otherwise drop its lock without a word.
function(tavo_check_test_locks)
  get_property(targets GLOBAL PROPERTY TAVO_LOCKED_TEST_TARGETS)
  foreach(target ${targets})
    if(NOT TARGET ${target})
      message(FATAL_ERROR "tavo_test_lock names ${target}, which is no test executable")
    endif()
  endforeach()
endfunction()

# One test executable per test source below tests/<dir>, labelled with the subsystem and
# holding the resource lock named for it with tavo_test_lock, if any.
function(tavo_add_tests dir label)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*Test.cpp)
  foreach(src ${tests})
    file(RELATIVE_PATH rel ${CMAKE_CURRENT_SOURCE_DIR} ${src})
    string(REGEX REPLACE "\\.cpp$" "" target ${rel})
    string(REPLACE "/" "_" target ${target})
    add_executable(${target} ${src})
    target_link_libraries(${target} PRIVATE ${ARG_DEPS} test_support GTest::gtest GTest::gmock GTest::gtest_main)
    set(properties LABELS ${label})
    get_property(lock GLOBAL PROPERTY TAVO_TEST_LOCK_${target})
    if(lock)
      list(APPEND properties RESOURCE_LOCK ${lock})
    else()
      # A test that starts an X server or the host program, left off the lock list, would run
      # beside the others and time out on a loaded machine.
      file(STRINGS ${src} window_lines REGEX "tests/support/XvfbServer\\.h|TAVOPLEX_PROGRAM")
      if(window_lines)
        message(FATAL_ERROR "${target} starts an X server or the host program but holds no test lock")
      endif()
    endif()
    gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST PROPERTIES ${properties})
  endforeach()
endfunction()
