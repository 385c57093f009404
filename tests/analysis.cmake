# Loading workbooks, the region analyses and their apply cycle, the analysis panel.
quarnel_add_test(tst_analysis LABEL gui SOURCES tst_analysis.cpp analysistesthelpers.h windowtesthelpers.h
    LIBS quarnel_ui)
quarnel_add_test(tst_analysiswindow LABEL gui SOURCES tst_analysiswindow.cpp analysistesthelpers.h windowtesthelpers.h
    LIBS quarnel_ui)
