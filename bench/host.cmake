# Google Benchmark of the module's result lists: the name list of slb-list is
# built by appending to an ArgList that keeps no tail pointer, so building n
# names walks the chain n times; the benchmark prints that cost against a
# chain built with a tail pointer in the same run.
find_package(benchmark REQUIRED)
add_executable(bench_host ${CMAKE_CURRENT_SOURCE_DIR}/host_bench.cpp ${CMAKE_SOURCE_DIR}/tests/host/fake_host.cpp)
target_include_directories(bench_host PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(bench_host PRIVATE qorvan_host_frame benchmark::benchmark)
set_target_properties(bench_host PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
