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

# Two virtual game controllers play the menus and a two-player match on the real face,
# with pictures of the way (controller_play.cpp says what is checked).
add_executable(controller_play ${CMAKE_CURRENT_LIST_DIR}/controller_play.cpp)
target_link_libraries(controller_play PRIVATE vantor_game vantor_platform_sdl)
add_dependencies(controller_play vantor_data)
add_test(NAME display.controller_play
  COMMAND ${CMAKE_CURRENT_LIST_DIR}/with_display.sh $<TARGET_FILE:controller_play> ${CMAKE_CURRENT_BINARY_DIR})
set_tests_properties(display.controller_play PROPERTIES LABELS display TIMEOUT 180
  ENVIRONMENT "ASAN_OPTIONS=detect_leaks=0;SDL_AUDIODRIVER=dummy")
