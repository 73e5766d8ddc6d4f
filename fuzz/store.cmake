qorvan_add_fuzzer(fuzz_library_codec ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_library_codec.cpp LIBS qorvan_store)
