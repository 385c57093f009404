add_executable(bench_liveplot ${CMAKE_CURRENT_LIST_DIR}/bench_liveplot.cpp)
target_link_libraries(bench_liveplot PRIVATE quarnel_ui Qt5::Test)
