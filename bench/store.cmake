# The store's figures: listing libraries of growing size, and a rewrite
# (append, delete) of a 50 MB library beside cp plus a flush of that file.
qorvan_program(bench_store SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/store_rewrite.cpp LIBS qorvan_store
  OUTPUT_DIR ${CMAKE_BINARY_DIR}/bench)
