# Axis settings, print preview and printed report, About box, printer edit form.
quarnel_add_test(tst_axissettingform LABEL gui SOURCES tst_axissettingform.cpp windowtesthelpers.h LIBS quarnel_ui)
# Reads the printed report's page and pictures back with poppler-utils (pdfinfo, pdfimages).
quarnel_add_test(tst_printpreviewform LABEL gui
    SOURCES tst_printpreviewform.cpp analysistesthelpers.h pagerecorder.h windowtesthelpers.h LIBS quarnel_ui)
quarnel_add_test(tst_aboutform LABEL gui SOURCES tst_aboutform.cpp LIBS quarnel_ui)
target_compile_definitions(tst_aboutform PRIVATE QUARNEL_VERSION="${PROJECT_VERSION}")
