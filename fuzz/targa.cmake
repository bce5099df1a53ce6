kestrun_fuzz_target(targa ${CMAKE_CURRENT_SOURCE_DIR}/TargaFuzz.cpp kestrun_foundation)
