# Plot workspace: live curve, clears, deletion, dragging and the context menu.
quarnel_add_test(tst_plot LABEL gui SOURCES tst_plot.cpp LIBS quarnel_ui)
quarnel_add_test(tst_plotinteraction LABEL gui SOURCES tst_plotinteraction.cpp LIBS quarnel_ui)
