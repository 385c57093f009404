# Takes the README's analysis picture (docs/analysis.png):
#   quarnel-analysis-shot samples docs/analysis.png
add_executable(quarnel-analysis-shot ${CMAKE_CURRENT_LIST_DIR}/analysisshot/main.cpp)
target_link_libraries(quarnel-analysis-shot PRIVATE quarnel_ui)
