kestrun_fuzz_target(port_spec ${CMAKE_CURRENT_SOURCE_DIR}/PortSpecFuzz.cpp kestrun_ports)
