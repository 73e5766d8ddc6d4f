qorvan_add_fuzzer(fuzz_c_library ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_c_library.cpp LIBS libqorvan)
