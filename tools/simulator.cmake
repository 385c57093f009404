# Simulated DSC instrument on a pseudo-terminal: a library for the tests and
# an executable that serves until killed.
add_library(quarnel_simulator STATIC
    ${CMAKE_CURRENT_LIST_DIR}/simulator/instrumentsimulator.cpp
    ${CMAKE_CURRENT_LIST_DIR}/simulator/instrumentsimulator.h
    ${CMAKE_CURRENT_LIST_DIR}/simulator/simulatedrun.cpp
    ${CMAKE_CURRENT_LIST_DIR}/simulator/simulatedrun.h)
target_include_directories(quarnel_simulator PUBLIC ${CMAKE_CURRENT_LIST_DIR}/simulator)
target_link_libraries(quarnel_simulator PUBLIC quarnel_core util)

add_executable(quarnel-simulator ${CMAKE_CURRENT_LIST_DIR}/simulator/main.cpp)
target_link_libraries(quarnel-simulator PRIVATE quarnel_simulator)
