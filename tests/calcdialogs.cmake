# Calculation dialogs: specific heat, crystallinity, cure, instrument
# coefficient and the OIT parameters, alone and wired into the main window.
quarnel_add_test(tst_calcdialogs LABEL gui SOURCES tst_calcdialogs.cpp windowtesthelpers.h LIBS quarnel_ui)
