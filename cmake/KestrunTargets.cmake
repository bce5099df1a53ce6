# Helpers shared by every target of the project.

set(KESTRUN_WARNINGS
    -Wall -Wextra -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual -Wsuggest-override
    -Werror=return-type -Wvla)
if(KESTRUN_WERROR)
    list(APPEND KESTRUN_WARNINGS -Werror)
endif()
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    # GCC 12 at -O3 reports std::string concatenation inside libstdc++ as a
    # -Wrestrict overlap (GCC bug 105329), a false alarm in every TU that
    # concatenates strings.
    list(APPEND KESTRUN_WARNINGS -Wno-restrict)
endif()

# A core library: one per src/ folder, all sources in the folder, our warnings on.
#   kestrun_core_library(name folder [DEPENDS lib...] [EXTRA_SOURCES file...])
function(kestrun_core_library name folder)
    cmake_parse_arguments(ARG "" "" "DEPENDS;EXTRA_SOURCES" ${ARGN})
    file(GLOB _sources CONFIGURE_DEPENDS ${folder}/*.cpp)
    file(GLOB _headers CONFIGURE_DEPENDS ${folder}/*.h)
    if(NOT _sources AND NOT ARG_EXTRA_SOURCES)
        # A layer not yet written: keep the dependency graph whole.
        add_library(${name} INTERFACE)
        target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
        target_link_libraries(${name} INTERFACE ${ARG_DEPENDS})
        return()
    endif()
    add_library(${name} STATIC ${_sources} ${_headers} ${ARG_EXTRA_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_compile_options(${name} PRIVATE ${KESTRUN_WARNINGS})
    target_link_libraries(${name} PUBLIC ${ARG_DEPENDS})
endfunction()

# One GoogleTest executable per library; every *.cpp of the test folder belongs to it.
function(kestrun_unit_test name folder label)
    file(GLOB _sources CONFIGURE_DEPENDS ${folder}/*.cpp)
    if(NOT _sources)
        return()
    endif()
    add_executable(${name} ${_sources})
    target_compile_options(${name} PRIVATE ${KESTRUN_WARNINGS})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    target_link_libraries(${name} PRIVATE ${ARGN} GTest::gtest GTest::gmock GTest::gtest_main)
    target_compile_definitions(${name} PRIVATE
        KESTRUN_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data"
        KESTRUN_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST PROPERTIES LABELS ${label})
endfunction()
