# Main window, real-time panel, experiment settings and the live run end to end.
quarnel_add_test(tst_realtimedataform LABEL gui SOURCES tst_realtimedataform.cpp LIBS quarnel_ui)
quarnel_add_test(tst_experimentsettingform LABEL gui
    SOURCES tst_experimentsettingform.cpp windowtesthelpers.h LIBS quarnel_ui)
quarnel_add_test(tst_mainwindow LABEL gui SOURCES tst_mainwindow.cpp windowtesthelpers.h LIBS quarnel_ui)
quarnel_add_test(tst_liverun LABEL e2e SOURCES tst_liverun.cpp windowtesthelpers.h
    LIBS quarnel_ui quarnel_simulator)
# A run dated on a machine whose locale writes other digits: Qt takes the
# system locale from the environment with its own data, so the machine need
# not have it installed.
set(arabic_workdir ${CMAKE_CURRENT_BINARY_DIR}/work/tst_liverun_ar_EG/cwd)
file(MAKE_DIRECTORY ${arabic_workdir})
add_test(NAME tst_liverun_ar_EG COMMAND tst_liverun eachRunDatedWhenItStarts WORKING_DIRECTORY ${arabic_workdir})
set_tests_properties(tst_liverun_ar_EG PROPERTIES LABELS e2e TIMEOUT 300
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LANG=ar_EG.UTF-8;LC_ALL=ar_EG.UTF-8")
# The right dock class that carries its own analysis settings panel.
quarnel_add_test(tst_rightwidget LABEL gui SOURCES tst_rightwidget.cpp LIBS quarnel_ui)
