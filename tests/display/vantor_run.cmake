# The real program, started and closed through its window on its own virtual display.
add_test(NAME display.vantor_close COMMAND ${CMAKE_CURRENT_LIST_DIR}/vantor_run.sh $<TARGET_FILE:vantor>)
set_tests_properties(display.vantor_close PROPERTIES LABELS display TIMEOUT 240
  ENVIRONMENT "ASAN_OPTIONS=detect_leaks=0;SDL_AUDIODRIVER=dummy")
# Its command line: --help, --version and bad options, with no display at all.
add_test(NAME vantor_command_line COMMAND ${CMAKE_CURRENT_LIST_DIR}/command_line.sh $<TARGET_FILE:vantor>)
set_tests_properties(vantor_command_line PROPERTIES LABELS unit TIMEOUT 60)
