kestrun_fuzz_target(source_feed ${CMAKE_CURRENT_SOURCE_DIR}/SourceFeedFuzz.cpp kestrun_script)
