# The fuzz targets (fuzz/): the loaders, the settings file and the command line, the network's
# packet decoder and the replay reader, built with clang and libFuzzer into <build>/fuzz, then each
# run for 30 seconds on a copy of its seed corpus, made from the generated game data (and a few
# settings files). A crash, a leak outside Assimp, undefined behaviour, a hang or 2 GiB of memory
# fails the test, and the
# input is kept in <build>/fuzz/artifacts/<target>/.
set(VANTOR_FUZZ_BUILD ${CMAKE_BINARY_DIR}/fuzz)
add_test(NAME fuzz_build COMMAND ${PROJECT_SOURCE_DIR}/fuzz/build.sh ${VANTOR_FUZZ_BUILD} ${VANTOR_DATA_DIR})
set_tests_properties(fuzz_build PROPERTIES LABELS fuzz TIMEOUT 600 COST 800 FIXTURES_SETUP vantor_fuzz)
foreach(target texture sound mesh mapping settings packet replay)
  add_test(NAME fuzz_${target} COMMAND ${PROJECT_SOURCE_DIR}/fuzz/run.sh ${VANTOR_FUZZ_BUILD} ${target} 30)
  # One at a time: each takes a whole core.
  set_tests_properties(fuzz_${target} PROPERTIES LABELS fuzz TIMEOUT 180 FIXTURES_REQUIRED vantor_fuzz
    RESOURCE_LOCK vantor_fuzz_core)
endforeach()
