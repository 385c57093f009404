# Instrument link: frames, received-frame handling, and the whole link
# through a pseudo-terminal with the simulated instrument.
quarnel_add_test(tst_linkframes LABEL link SOURCES link/tst_linkframes.cpp LIBS quarnel_core)
quarnel_add_test(tst_linkreceive LABEL link SOURCES link/tst_linkreceive.cpp link/logcapture.h LIBS quarnel_core)
quarnel_add_test(tst_linkpty LABEL link SOURCES link/tst_linkpty.cpp link/logcapture.h LIBS quarnel_simulator)
quarnel_add_test(tst_simulatedrun LABEL link SOURCES link/tst_simulatedrun.cpp LIBS quarnel_simulator)
