# The windows' text parsers are Qt-free; they are built here from their sources alone.
kestrun_fuzz_target(ui_texts ${CMAKE_CURRENT_SOURCE_DIR}/UiTextsFuzz.cpp kestrun_settings kestrun_foundation)
target_sources(ui_texts PRIVATE ${PROJECT_SOURCE_DIR}/src/ui/VZMenuText.cpp ${PROJECT_SOURCE_DIR}/src/ui/VZPaneLayout.cpp)
target_include_directories(ui_texts PRIVATE ${PROJECT_SOURCE_DIR}/src)
