kestrun_fuzz_target(time_text ${CMAKE_CURRENT_SOURCE_DIR}/TimeTextFuzz.cpp kestrun_scoring)
