# Reading a package back: the file, the archive, the data document and the
# picture.
add_executable(package_reader_bench ${CMAKE_CURRENT_LIST_DIR}/package_reader_bench.cpp)
target_link_libraries(package_reader_bench PRIVATE tirlada_rules tirlada_test_support)
