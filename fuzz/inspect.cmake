qorvan_add_fuzzer(fuzz_text_form ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_text_form.cpp LIBS qorvan_inspect)
qorvan_add_fuzzer(fuzz_salvage ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_salvage.cpp LIBS qorvan_inspect)
