# Experiment workbooks: layout, reader, writers' fault handling, and interop
# with an independent reader and writer (openpyxl).
quarnel_add_test(tst_xlsxhandler LABEL core SOURCES tst_xlsxhandler.cpp LIBS quarnel_core)
quarnel_add_test(tst_workbookinterop LABEL core SOURCES tst_workbookinterop.cpp LIBS quarnel_core)
