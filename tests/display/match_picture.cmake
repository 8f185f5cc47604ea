# A small program that starts a match on the real platform and saves pictures of it
# (the intro's first frame, a frame in play, a paused frame). Run it under Xvfb:
#   xvfb-run -a -s "-screen 0 800x600x24" match_picture OUTDIR
add_executable(match_picture ${CMAKE_CURRENT_LIST_DIR}/match_picture.cpp)
target_link_libraries(match_picture PRIVATE vantor_game vantor_platform_sdl)
add_dependencies(match_picture vantor_data)
add_test(NAME display.match_picture
  COMMAND ${CMAKE_CURRENT_LIST_DIR}/with_display.sh $<TARGET_FILE:match_picture> ${CMAKE_CURRENT_BINARY_DIR})
set_tests_properties(display.match_picture PROPERTIES LABELS display TIMEOUT 120
  ENVIRONMENT "ASAN_OPTIONS=detect_leaks=0;SDL_AUDIODRIVER=dummy")
