# The real program under Xvfb with one data file damaged at a time: every file missing, and
# empty, cut to half or scrambled for one file of each loading stage. The cases are listed in
# the build folder's robustness_real/table.txt. (robustness_real.sh --all runs every file
# with every damage.) It takes several minutes, so it is not part of ./test.sh's run:
#   cmake -DVANTOR_SLOW_TESTS=ON … && ctest -R display_robustness_real
option(VANTOR_SLOW_TESTS "Add the tests that take several minutes each" OFF)
if(VANTOR_SLOW_TESTS)
  add_test(NAME display_robustness_real
    COMMAND ${CMAKE_CURRENT_LIST_DIR}/robustness_real.sh $<TARGET_FILE:vantor> ${CMAKE_BINARY_DIR}/robustness_real)
  set_tests_properties(display_robustness_real PROPERTIES LABELS display TIMEOUT 1500)
endif()
