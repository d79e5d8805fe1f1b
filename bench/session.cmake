# The memory of a long scripted session.
add_executable(session_bench ${CMAKE_CURRENT_LIST_DIR}/session_bench.cpp)
target_link_libraries(session_bench PRIVATE tirlada_gui Qt6::Test)
target_include_directories(session_bench PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../tests/support)
