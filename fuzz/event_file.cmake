kestrun_fuzz_target(event_file ${CMAKE_CURRENT_SOURCE_DIR}/EventFileFuzz.cpp kestrun_scoring)
