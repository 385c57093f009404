# The README's roads as a newcomer takes them: the analysis picture's recipe
# (the tool itself fails when the workbook or the result was not drawn) and
# `make demo` against the simulated instrument on a virtual display.
set(shotdir ${CMAKE_CURRENT_BINARY_DIR}/work/tst_analysisshot)
file(MAKE_DIRECTORY ${shotdir}/run/work)
add_test(NAME tst_analysisshot
    COMMAND quarnel-analysis-shot ${PROJECT_SOURCE_DIR}/samples ${shotdir}/analysis.png
    WORKING_DIRECTORY ${shotdir}/run/work)
set_tests_properties(tst_analysisshot PROPERTIES LABELS e2e TIMEOUT 120
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LANG=C.UTF-8;LC_ALL=C.UTF-8")

add_test(NAME tst_demo
    COMMAND xvfb-run -a -s "-screen 0 1600x1000x24"
        ${CMAKE_CURRENT_SOURCE_DIR}/readme/tst_demo.sh ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}
        ${CMAKE_CURRENT_BINARY_DIR}/work/tst_demo)
set_tests_properties(tst_demo PROPERTIES LABELS e2e TIMEOUT 120
    ENVIRONMENT "LANG=C.UTF-8;LC_ALL=C.UTF-8;QUARNEL_SERIAL_PORT=")
