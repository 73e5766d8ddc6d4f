# The store's figures: listing libraries of growing size, and a rewrite
# (append, delete) of a 50 MB library beside cp plus a flush of that file.
add_executable(bench_store ${CMAKE_CURRENT_SOURCE_DIR}/store_rewrite.cpp)
target_include_directories(bench_store PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(bench_store PRIVATE qorvan_store)
set_target_properties(bench_store PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
