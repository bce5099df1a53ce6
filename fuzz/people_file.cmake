kestrun_fuzz_target(people_file ${CMAKE_CURRENT_SOURCE_DIR}/PeopleFileFuzz.cpp kestrun_scoring)
