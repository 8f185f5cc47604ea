# Tests of the SDL/OpenGL face of the platform (tests/display/).
#
# vantor_sdl_tests needs no display: the key map, the Direct3D → OpenGL state mapping,
# frame pacing, the string cache, font lookup through fontconfig, sound on SDL's
# dummy audio driver, and game controllers on SDL's virtual joysticks.
# vantor_display_tests draws through the OpenGL device and reads the pictures back;
# gl_picture draws the test picture and saves it. Each runs on an Xvfb display of its
# own (with_display.sh), whatever display ctest itself runs under.

set(VANTOR_DISPLAY_DIR ${CMAKE_CURRENT_LIST_DIR})

set(VANTOR_SDL_TEST_SOURCES
  ${VANTOR_DISPLAY_DIR}/sdl_state_test.cpp
  ${VANTOR_DISPLAY_DIR}/sdl_input_text_test.cpp
  ${VANTOR_DISPLAY_DIR}/sdl_sound_test.cpp
  ${VANTOR_DISPLAY_DIR}/sdl_controllers_test.cpp
  ${VANTOR_DISPLAY_DIR}/sdl_background_test.cpp)
add_executable(vantor_sdl_tests ${VANTOR_SDL_TEST_SOURCES})
target_link_libraries(vantor_sdl_tests PRIVATE vantor_platform_sdl vantor_late_libraries GTest::gtest_main)
# Listed from the sources (gtest_discover_tests would split the environment list).
gtest_add_tests(TARGET vantor_sdl_tests SOURCES ${VANTOR_SDL_TEST_SOURCES} TEST_LIST VANTOR_SDL_TESTS)
set_tests_properties(${VANTOR_SDL_TESTS} PROPERTIES LABELS unit
  ENVIRONMENT "SDL_AUDIODRIVER=dummy;SDL_VIDEODRIVER=dummy;LSAN_OPTIONS=suppressions=${VANTOR_DISPLAY_DIR}/lsan.supp")

add_library(vantor_picture_scene STATIC ${VANTOR_DISPLAY_DIR}/picture_scene.cpp)
target_include_directories(vantor_picture_scene PUBLIC ${VANTOR_DISPLAY_DIR})
target_link_libraries(vantor_picture_scene PUBLIC vantor_platform_sdl vantor_late_libraries)

add_executable(gl_picture ${VANTOR_DISPLAY_DIR}/gl_picture.cpp)
target_link_libraries(gl_picture PRIVATE vantor_picture_scene)

add_executable(vantor_display_tests ${VANTOR_DISPLAY_DIR}/gl_display_test.cpp)
target_link_libraries(vantor_display_tests PRIVATE vantor_picture_scene GTest::gtest_main)

# One ctest entry per suite, each on a virtual display of its own.
set(VANTOR_DISPLAY_ENV "ASAN_OPTIONS=detect_leaks=0;SDL_AUDIODRIVER=dummy")
foreach(suite Picture GlDevice Text Window)
  add_test(NAME display.${suite}
    COMMAND ${VANTOR_DISPLAY_DIR}/with_display.sh $<TARGET_FILE:vantor_display_tests> --gtest_filter=${suite}.*)
  set_tests_properties(display.${suite} PROPERTIES LABELS display TIMEOUT 120 ENVIRONMENT "${VANTOR_DISPLAY_ENV}")
endforeach()
# Text and edges at 2.4 times the back buffer: full screen on a 2560 × 1440 desktop, which
# takes a window manager.
add_test(NAME display.Sharp
  COMMAND ${VANTOR_DISPLAY_DIR}/with_display.sh -s 2560x1440 -wm $<TARGET_FILE:vantor_display_tests>
          --gtest_filter=Sharp.*)
set_tests_properties(display.Sharp PROPERTIES LABELS display TIMEOUT 120 ENVIRONMENT "${VANTOR_DISPLAY_ENV}")
add_test(NAME display.gl_picture
  COMMAND ${VANTOR_DISPLAY_DIR}/with_display.sh $<TARGET_FILE:gl_picture> ${CMAKE_CURRENT_BINARY_DIR}/gl_picture.png 1)
# Letterboxing on desktops wider than 4:3, with a window manager and without one.
add_test(NAME display.letterbox
  COMMAND ${VANTOR_DISPLAY_DIR}/with_display.sh -s 1280x720 ${VANTOR_DISPLAY_DIR}/letterbox_test.sh
          $<TARGET_FILE:gl_picture> ${CMAKE_CURRENT_BINARY_DIR})
add_test(NAME display.letterbox_1080
  COMMAND ${VANTOR_DISPLAY_DIR}/with_display.sh -s 1920x1080 ${VANTOR_DISPLAY_DIR}/letterbox_test.sh
          $<TARGET_FILE:gl_picture> ${CMAKE_CURRENT_BINARY_DIR})
set_tests_properties(display.gl_picture display.letterbox display.letterbox_1080 PROPERTIES LABELS display
  TIMEOUT 90 ENVIRONMENT "${VANTOR_DISPLAY_ENV}")
