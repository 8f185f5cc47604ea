# The Debian package, unpacked and started from its launcher.
add_test(NAME display.package COMMAND ${CMAKE_CURRENT_LIST_DIR}/package_test.sh ${CMAKE_BINARY_DIR})
set_tests_properties(display.package PROPERTIES LABELS display TIMEOUT 300
  ENVIRONMENT "ASAN_OPTIONS=detect_leaks=0;SDL_AUDIODRIVER=dummy")
