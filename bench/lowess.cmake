# LOWESS timing tool, run by run-lowess.sh (which builds it on demand, so a
# plain build or `make test` does not).
add_executable(lowess_bench EXCLUDE_FROM_ALL
    ${CMAKE_CURRENT_SOURCE_DIR}/lowess_bench.cpp
    ${PROJECT_SOURCE_DIR}/tests/support/lowessreference.cpp)
target_include_directories(lowess_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
target_link_libraries(lowess_bench PRIVATE quarnel_core)
