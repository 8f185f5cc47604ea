# Two vantor processes, each on a virtual display of its own, over the loopback interface
# through a relay that adds 50 ms each way, jitter and 2 % loss: a match from the menus to the
# after-match screen, the joiner killed mid-match, the host killed. Screenshots of both sides
# land in the build folder's net_match/.
add_executable(udp_relay ${CMAKE_CURRENT_LIST_DIR}/udp_relay.cpp)
# Times a key on the joiner to its own picture and to the host's (scripts/net_latency.sh).
find_package(X11)
if(X11_FOUND AND X11_XTest_FOUND)
  add_executable(key_to_picture ${CMAKE_CURRENT_LIST_DIR}/key_to_picture.cpp)
  target_link_libraries(key_to_picture PRIVATE X11::X11 X11::Xtst)
endif()
add_test(NAME display_net_match
  COMMAND ${CMAKE_CURRENT_LIST_DIR}/net_match.sh $<TARGET_FILE:vantor> $<TARGET_FILE:udp_relay>
          ${CMAKE_BINARY_DIR}/net_match)
set_tests_properties(display_net_match PROPERTIES LABELS display TIMEOUT 600 COST 1000
  ENVIRONMENT "ASAN_OPTIONS=detect_leaks=0;SDL_AUDIODRIVER=dummy")
