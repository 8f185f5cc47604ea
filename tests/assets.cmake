# Checks of the generated data files: pictures, meshes, sounds and the generator's
# determinism. Included from tests/CMakeLists.txt; needs VANTOR_DATA_DIR and the
# vantor_assetgen target from tools/.
if(NOT TARGET GTest::gtest_main)
  find_package(GTest REQUIRED)
endif()
add_executable(assets_test ${CMAKE_CURRENT_LIST_DIR}/assets_test.cpp)
target_link_libraries(assets_test PRIVATE GTest::gtest_main PkgConfig::SDL2 PkgConfig::SDL2_IMAGE PkgConfig::ASSIMP)
target_compile_definitions(assets_test PRIVATE
  VANTOR_TEST_DATA_DIR="${VANTOR_DATA_DIR}"
  VANTOR_ASSETGEN_EXE="$<TARGET_FILE:vantor_assetgen>")
add_dependencies(assets_test vantor_data)
add_test(NAME assets_test COMMAND assets_test)
set_tests_properties(assets_test PROPERTIES TIMEOUT 300)
