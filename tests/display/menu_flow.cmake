# The real program under Xvfb, driven by xdotool through the menus into a match and out.
# Screenshots land in the build folder's menu_flow/.
add_test(NAME display_menu_flow
  COMMAND ${CMAKE_CURRENT_LIST_DIR}/menu_flow.sh $<TARGET_FILE:vantor> ${CMAKE_BINARY_DIR}/menu_flow)
# Alone: it watches the frame rate's effect on key reads, and other tests would slow it.
set_tests_properties(display_menu_flow PROPERTIES LABELS display TIMEOUT 600 RUN_SERIAL TRUE)
