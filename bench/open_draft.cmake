# Opening a package into the window, and writing the draft of unsaved input.
add_executable(open_draft_bench ${CMAKE_CURRENT_LIST_DIR}/open_draft_bench.cpp)
target_link_libraries(open_draft_bench PRIVATE tirlada_gui Qt6::Test)
target_include_directories(open_draft_bench PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../tests/support)
