# Google Benchmark of the module's result lists: appending to an ArgList,
# which keeps no tail pointer, walks the chain each time; the benchmark
# prints that cost against linking through a tail pointer (what
# slideNameList does) in the same run.
find_package(benchmark REQUIRED)
qorvan_program(bench_host
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/host_bench.cpp ${CMAKE_SOURCE_DIR}/tests/host/fake_host.cpp
  LIBS qorvan_host_frame benchmark::benchmark OUTPUT_DIR ${CMAKE_BINARY_DIR}/bench)
