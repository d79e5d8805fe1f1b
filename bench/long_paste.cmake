# A 1,000,000-character line pasted into a memo.
add_executable(long_paste_bench ${CMAKE_CURRENT_LIST_DIR}/long_paste_bench.cpp)
target_link_libraries(long_paste_bench PRIVATE tirlada_gui Qt6::Test)
target_include_directories(long_paste_bench PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../tests/support)
