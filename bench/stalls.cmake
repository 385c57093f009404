# Event-loop stalls of the real main window on 100k-point curves
# (window_stalls.cpp, run from bench/run-stalls.sh).
add_executable(bench_window_stalls ${CMAKE_CURRENT_LIST_DIR}/window_stalls.cpp)
target_link_libraries(bench_window_stalls PRIVATE quarnel_ui)
