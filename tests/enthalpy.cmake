# Enthalpy-correction table and coefficient selection dialogs.
quarnel_add_test(tst_enthalpydatacorrectionform LABEL gui
    SOURCES tst_enthalpydatacorrectionform.cpp windowtesthelpers.h LIBS quarnel_ui)
quarnel_add_test(tst_coefficientselectionform LABEL gui
    SOURCES tst_coefficientselectionform.cpp windowtesthelpers.h LIBS quarnel_ui)
quarnel_add_test(tst_enthalpydialogsinwindow LABEL gui
    SOURCES tst_enthalpydialogsinwindow.cpp analysistesthelpers.h windowtesthelpers.h LIBS quarnel_ui)
