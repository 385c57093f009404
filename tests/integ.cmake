# The analysis road through the main window, from the data folders to a saved
# and reloaded analysis; curve pointers after removals.
quarnel_add_test(tst_analysisroad LABEL e2e SOURCES tst_analysisroad.cpp analysistesthelpers.h windowtesthelpers.h
    LIBS quarnel_ui)
