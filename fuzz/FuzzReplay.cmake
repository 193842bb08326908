# Runs every fuzz target once over each file of its seed corpus, as CTest tests labelled
# `fuzz`; needs no libFuzzer, so it builds with any compiler. Included from tests/.

file(GLOB TAVO_FUZZ_REPLAY_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*Fuzz.cpp)
foreach(src ${TAVO_FUZZ_REPLAY_SOURCES})
  get_filename_component(name ${src} NAME_WE)
  add_executable(fuzz_${name} ${src} ${CMAKE_CURRENT_LIST_DIR}/FuzzReplayMain.cpp)
  target_link_libraries(fuzz_${name} PRIVATE viewer geometry services math foundation platform)
  add_test(NAME fuzz.${name} COMMAND fuzz_${name} ${CMAKE_CURRENT_LIST_DIR}/corpus/${name})
  set_tests_properties(fuzz.${name} PROPERTIES LABELS fuzz)
endforeach()
