# Workbook write and read: ours against openpyxl and a bare libxlsxwriter loop.
add_executable(bench_workbook ${CMAKE_CURRENT_LIST_DIR}/workbook_bench.cpp)
target_link_libraries(bench_workbook PRIVATE quarnel_core)
