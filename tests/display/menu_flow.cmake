# The real program under Xvfb, driven by xdotool through the menus into a match and out.
# Screenshots land in the build folder's menu_flow/.
add_test(NAME display_menu_flow
  COMMAND ${CMAKE_CURRENT_LIST_DIR}/menu_flow.sh $<TARGET_FILE:vantor> ${CMAKE_BINARY_DIR}/menu_flow)
# It reads the screen back after every key, so a slower frame rate beside other tests
# costs it time, not correctness.
set_tests_properties(display_menu_flow PROPERTIES LABELS display TIMEOUT 600 COST 500
  ENVIRONMENT "ASAN_OPTIONS=detect_leaks=0;SDL_AUDIODRIVER=dummy")
