# Window stalls while a workbook with many stored analyses is opened and
# cleared (window_analyses.cpp, run from bench/run-analyses.sh).
add_executable(bench_window_analyses ${CMAKE_CURRENT_LIST_DIR}/window_analyses.cpp)
target_link_libraries(bench_window_analyses PRIVATE quarnel_ui)
