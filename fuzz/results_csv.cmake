if(TARGET kestrun_score_lib)
    kestrun_fuzz_target(results_csv ${CMAKE_CURRENT_SOURCE_DIR}/ResultsCsvFuzz.cpp kestrun_score_lib)
endif()
