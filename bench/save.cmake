# The save: from the confirmed save dialog to the success message.
add_executable(save_bench ${CMAKE_CURRENT_LIST_DIR}/save_bench.cpp)
target_link_libraries(save_bench PRIVATE tirlada_gui)
