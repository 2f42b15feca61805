# inf_benchmark: the INF reader and model matcher on the shared corpus of real
# files (when ../shared/corpus is there) and on one large generated INF, in
# MB/s of file bytes, against the floor of reading and decoding alone.
add_executable(inf_benchmark
  ${CMAKE_CURRENT_SOURCE_DIR}/inf_benchmark.cpp
  ${PROJECT_SOURCE_DIR}/tests/inf/inf_test_image.cpp)
target_link_libraries(inf_benchmark PRIVATE dravolin_core benchmark::benchmark)
target_compile_options(inf_benchmark PRIVATE ${DRAVOLIN_WARNINGS})
target_compile_definitions(inf_benchmark PRIVATE
  DRAVOLIN_CORPUS_DIR="${PROJECT_SOURCE_DIR}/../shared/corpus")
