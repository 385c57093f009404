# Files written while the process or a thread runs in a comma locale.
quarnel_add_test(tst_commalocale LABEL gui SOURCES tst_commalocale.cpp pagerecorder.h windowtesthelpers.h LIBS quarnel_ui)
