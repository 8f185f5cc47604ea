# A whole one-player match of the real program under Xvfb, driven by xdotool: the menus,
# three minutes of play, the after-match screen's names and scores, Play again and F10.
# Screenshots land in the build folder's full_match/.
add_test(NAME display_full_match
  COMMAND ${CMAKE_CURRENT_LIST_DIR}/full_match.sh $<TARGET_FILE:vantor> ${CMAKE_BINARY_DIR}/full_match)
set_tests_properties(display_full_match PROPERTIES LABELS display TIMEOUT 480 COST 1000
  ENVIRONMENT "ASAN_OPTIONS=detect_leaks=0;SDL_AUDIODRIVER=dummy")
