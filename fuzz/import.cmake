qorvan_add_fuzzer(fuzz_svg_path ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_svg_path.cpp LIBS qorvan_import)
qorvan_add_fuzzer(fuzz_svg_document ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_svg_document.cpp LIBS qorvan_import)
qorvan_add_fuzzer(fuzz_dxf_reader ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_dxf_reader.cpp LIBS qorvan_import)
