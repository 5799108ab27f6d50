# The writers of real JPEG photos (with or without an orientation record), compiled once
# for the tests and the benchmarks that make their own photos.
include_guard(GLOBAL)
add_library(mw_test_photos STATIC ${CMAKE_CURRENT_LIST_DIR}/jpeg_fixtures.cpp
  ${CMAKE_CURRENT_LIST_DIR}/exif_fixtures.cpp)
target_include_directories(mw_test_photos PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(mw_test_photos PUBLIC JPEG::JPEG)
set_target_properties(mw_test_photos PROPERTIES AUTOMOC OFF)
