qorvan_add_fuzzer(fuzz_slide_stream ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_slide_stream.cpp LIBS qorvan_slide)
qorvan_add_fuzzer(fuzz_library_slide ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_library_slide.cpp LIBS qorvan_slide)
qorvan_add_fuzzer(fuzz_picture_surfaces ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_picture_surfaces.cpp LIBS qorvan_slide_cairo)
qorvan_add_fuzzer(fuzz_slide_inspect ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_slide_inspect.cpp LIBS qorvan_slide)
