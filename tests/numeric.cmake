# Numeric core: LOWESS smoother, region analyses, quadratic fit.
# About two seconds alone; the limit leaves room for a loaded two-core machine.
quarnel_add_test(tst_lowess LABEL core TIMEOUT 60 SOURCES tst_lowess.cpp LIBS quarnel_test_support quarnel_core)
quarnel_add_test(tst_pointcalculate LABEL core SOURCES tst_pointcalculate.cpp LIBS quarnel_core)
quarnel_add_test(tst_numerichelpers LABEL core SOURCES tst_numerichelpers.cpp LIBS quarnel_core)
