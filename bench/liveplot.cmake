# Live-plot throughput of the main window (bench/run-liveplot.sh).
add_executable(bench_liveplot ${CMAKE_CURRENT_LIST_DIR}/liveplot.cpp)
target_link_libraries(bench_liveplot PRIVATE quarnel_ui)
