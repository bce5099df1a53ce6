if(TARGET kestrun_app)
    kestrun_fuzz_target(ipc_request ${CMAKE_CURRENT_SOURCE_DIR}/IpcRequestFuzz.cpp kestrun_app)
endif()
