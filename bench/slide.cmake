# Whole-corpus rendering figures beside sldtoppm, measured in the same run.
add_executable(bench_slide_render ${CMAKE_CURRENT_SOURCE_DIR}/slide_render.cpp)
target_include_directories(bench_slide_render PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_definitions(bench_slide_render PRIVATE QORVAN_TESTDATA_DIR="${QORVAN_TESTDATA_DIR}")
target_compile_options(bench_slide_render PRIVATE ${QORVAN_WARNINGS})
target_link_libraries(bench_slide_render PRIVATE qorvan_slide)
set_target_properties(bench_slide_render PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
