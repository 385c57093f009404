# Enthalpy-correction table and coefficient selection dialogs.
quarnel_add_test(tst_enthalpydatacorrectionform LABEL gui
    SOURCES tst_enthalpydatacorrectionform.cpp windowtesthelpers.h LIBS quarnel_ui)
