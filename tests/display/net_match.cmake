# Two vantor processes, each on a virtual display of its own, over the loopback interface
# through a relay that adds 50 ms each way, jitter and 2 % loss: a match from the menus to the
# after-match screen, the joiner killed mid-match, the host killed. Screenshots of both sides
# land in the build folder's net_match/.
add_executable(udp_relay ${CMAKE_CURRENT_LIST_DIR}/udp_relay.cpp)
add_test(NAME display_net_match
  COMMAND ${CMAKE_CURRENT_LIST_DIR}/net_match.sh $<TARGET_FILE:vantor> $<TARGET_FILE:udp_relay>
          ${CMAKE_BINARY_DIR}/net_match)
set_tests_properties(display_net_match PROPERTIES LABELS display TIMEOUT 600 COST 1000
  ENVIRONMENT "ASAN_OPTIONS=detect_leaks=0;SDL_AUDIODRIVER=dummy")
