# Whole-corpus rendering figures beside sldtoppm, measured in the same run.
qorvan_program(bench_slide_render SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/slide_render.cpp LIBS qorvan_slide
  OUTPUT_DIR ${CMAKE_BINARY_DIR}/bench)
target_compile_definitions(bench_slide_render PRIVATE QORVAN_TESTDATA_DIR="${QORVAN_TESTDATA_DIR}")
