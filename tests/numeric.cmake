# Numeric core: LOWESS smoother, region analyses, quadratic fit.
quarnel_add_test(tst_lowess LABEL core SOURCES tst_lowess.cpp LIBS quarnel_test_support quarnel_core)
quarnel_add_test(tst_pointcalculate LABEL core SOURCES tst_pointcalculate.cpp LIBS quarnel_core)
quarnel_add_test(tst_numerichelpers LABEL core SOURCES tst_numerichelpers.cpp LIBS quarnel_core)
