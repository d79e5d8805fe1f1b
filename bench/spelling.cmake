# Spell checking: typing into the window, a long description checked whole,
# loading the dictionaries, the corrections of a word.
add_executable(spelling_bench ${CMAKE_CURRENT_LIST_DIR}/spelling_bench.cpp)
target_link_libraries(spelling_bench PRIVATE tirlada_gui Qt6::Test)
target_include_directories(spelling_bench PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../tests/support)
