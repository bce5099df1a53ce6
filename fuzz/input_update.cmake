kestrun_fuzz_target(input_update ${CMAKE_CURRENT_SOURCE_DIR}/InputUpdateFuzz.cpp kestrun_sources)
