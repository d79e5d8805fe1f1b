# Opening a package into the window, and writing the draft of unsaved input.
add_executable(package_bench ${CMAKE_CURRENT_LIST_DIR}/package_bench.cpp)
target_link_libraries(package_bench PRIVATE tirlada_gui Qt6::Test)
target_include_directories(package_bench PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../tests/support)
