# Loading and reducing large JPEG files, against djpeg's full decode.
add_executable(picture_bench ${CMAKE_CURRENT_SOURCE_DIR}/picture_bench.cpp)
target_link_libraries(picture_bench PRIVATE tirlada_rules)
