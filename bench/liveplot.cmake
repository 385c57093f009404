# Live plot: the plot's own cost per live point and per replot
# (bench_liveplot.cpp), and the whole window fed through the link's receive
# path (window_liveplot.cpp). Both run from bench/run-liveplot.sh.
add_executable(bench_liveplot ${CMAKE_CURRENT_LIST_DIR}/bench_liveplot.cpp)
target_link_libraries(bench_liveplot PRIVATE quarnel_ui Qt5::Test)
add_executable(bench_window_liveplot ${CMAKE_CURRENT_LIST_DIR}/window_liveplot.cpp)
target_link_libraries(bench_window_liveplot PRIVATE quarnel_ui)
