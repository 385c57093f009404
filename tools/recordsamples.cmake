# Records sample runs with the simulated instrument into workbooks:
#   quarnel-record-samples <folder>   (the repository keeps them in samples/)
add_executable(quarnel-record-samples ${CMAKE_CURRENT_LIST_DIR}/recordsamples/main.cpp)
target_link_libraries(quarnel-record-samples PRIVATE quarnel_ui quarnel_simulator)
