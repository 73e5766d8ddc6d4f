# Google Benchmark of the module's result lists: appending to an ArgList,
# which keeps no tail pointer, walks the chain each time; the benchmark
# prints that cost against linking through a tail pointer (what
# slideNameList does) in the same run.
find_package(benchmark REQUIRED)
add_executable(bench_host ${CMAKE_CURRENT_SOURCE_DIR}/host_bench.cpp ${CMAKE_SOURCE_DIR}/tests/host/fake_host.cpp)
target_include_directories(bench_host PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(bench_host PRIVATE qorvan_host_frame benchmark::benchmark)
set_target_properties(bench_host PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
