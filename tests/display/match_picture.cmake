# Small programs on the real platform, each run on a display of its own, that save
# pictures of what they drive into the build folder (or the folder given). Run one by hand
# under Xvfb:
#   xvfb-run -a -s "-screen 0 800x600x24" match_picture OUTDIR
function(vantor_picture_program name timeout)
  add_executable(${name} ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/${name}.cpp)
  target_link_libraries(${name} PRIVATE vantor_game vantor_platform_sdl vantor_late_libraries)
  add_dependencies(${name} vantor_data)
  add_test(NAME display.${name}
    COMMAND ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/with_display.sh $<TARGET_FILE:${name}> ${CMAKE_CURRENT_BINARY_DIR})
  set_tests_properties(display.${name} PROPERTIES LABELS display TIMEOUT ${timeout}
    ENVIRONMENT "ASAN_OPTIONS=detect_leaks=0;SDL_AUDIODRIVER=dummy")
endfunction()

# A match started directly: the intro's first frame, a frame in play, a paused frame.
vantor_picture_program(match_picture 120)
# Two virtual game controllers play the menus and a two-player match, nothing else
# (controller_play.cpp says what is checked).
vantor_picture_program(controller_play 180)
# A match whose frames, drawn again only where they changed, are held against the same
# frames drawn whole, at the smallest and at a large full-screen size.
vantor_picture_program(reuse_picture 240)
add_test(NAME display.reuse_picture_1920x1080
  COMMAND ${CMAKE_CURRENT_LIST_DIR}/with_display.sh -s 1920x1080 $<TARGET_FILE:reuse_picture> ${CMAKE_CURRENT_BINARY_DIR})
set_tests_properties(display.reuse_picture_1920x1080 PROPERTIES LABELS display TIMEOUT 400
  ENVIRONMENT "ASAN_OPTIONS=detect_leaks=0;SDL_AUDIODRIVER=dummy;VANTOR_NO_PACING=1")
