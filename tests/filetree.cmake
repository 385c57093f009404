# Workbook file tree and smoothing of curves.
quarnel_add_test(tst_filetree LABEL gui SOURCES tst_filetree.cpp windowtesthelpers.h LIBS quarnel_ui)
quarnel_add_test(tst_smoothing LABEL gui SOURCES tst_smoothing.cpp analysistesthelpers.h windowtesthelpers.h
    LIBS quarnel_ui quarnel_test_support)
