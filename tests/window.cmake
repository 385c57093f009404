# Main window, real-time panel, experiment settings and the live run end to end.
quarnel_add_test(tst_realtimedataform LABEL gui SOURCES tst_realtimedataform.cpp LIBS quarnel_ui)
quarnel_add_test(tst_experimentsettingform LABEL gui
    SOURCES tst_experimentsettingform.cpp windowtesthelpers.h LIBS quarnel_ui)
quarnel_add_test(tst_mainwindow LABEL gui SOURCES tst_mainwindow.cpp windowtesthelpers.h LIBS quarnel_ui)
quarnel_add_test(tst_liverun LABEL e2e SOURCES tst_liverun.cpp windowtesthelpers.h
    LIBS quarnel_ui quarnel_simulator)
# The right dock class that carries its own analysis settings panel.
quarnel_add_test(tst_rightwidget LABEL gui SOURCES tst_rightwidget.cpp LIBS quarnel_ui)
