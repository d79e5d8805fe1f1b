# The committee's check over many packages: a generator of packages; the
# program itself is timed by run-check.sh.
add_executable(check_bench_packages ${CMAKE_CURRENT_LIST_DIR}/check_bench_packages.cpp)
target_link_libraries(check_bench_packages PRIVATE tirlada_rules)
add_dependencies(check_bench_packages tirlada-check)
