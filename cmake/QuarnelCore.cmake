# The widget-free core (src/data, src/serialport) and easylogging++, as the
# program links them. The product build and the fuzzing build (fuzz/) both
# take them from here, so a fuzz target always links what the program does.

find_package(Qt5 5.15 REQUIRED COMPONENTS Core SerialPort)
find_package(PkgConfig REQUIRED)
pkg_check_modules(WORKBOOK_READER REQUIRED IMPORTED_TARGET minizip libxml-2.0 zlib)
pkg_check_modules(XLSXWRITER REQUIRED IMPORTED_TARGET xlsxwriter)
find_path(EASYLOGGING_INCLUDE_DIR easylogging++.h REQUIRED)

set(QUARNEL_SOURCE_ROOT ${CMAKE_CURRENT_LIST_DIR}/..)

# easylogging++ ships as one source file; built once with its own warnings off.
# Thread-safe: workbooks are read and written on worker threads, which log
# while the GUI thread logs the instrument's frames. Without a default log
# file: the library opens its default file as the process starts, so every
# process that links the core (the simulator, the tools, the tests) would
# leave a myeasylog.log wherever it starts; the program names its own file
# when it sets up its loggers.
function(quarnel_add_easylogging)
    add_library(easylogging STATIC ${EASYLOGGING_INCLUDE_DIR}/easylogging++.cc)
    target_include_directories(easylogging PUBLIC ${EASYLOGGING_INCLUDE_DIR})
    target_compile_definitions(easylogging PUBLIC ELPP_QT_LOGGING ELPP_THREAD_SAFE)
    target_compile_definitions(easylogging PRIVATE ELPP_NO_DEFAULT_LOG_FILE)
    target_compile_options(easylogging PRIVATE -w)
    target_link_libraries(easylogging PUBLIC Qt5::Core)
endfunction()

# Shared records, configuration, numeric routines, workbooks and the
# instrument link, as the static library quarnel_core.
function(quarnel_add_core)
    file(GLOB sources CONFIGURE_DEPENDS
        ${QUARNEL_SOURCE_ROOT}/src/data/*.cpp ${QUARNEL_SOURCE_ROOT}/src/data/*.h
        ${QUARNEL_SOURCE_ROOT}/src/serialport/*.cpp ${QUARNEL_SOURCE_ROOT}/src/serialport/*.h)
    add_library(quarnel_core STATIC ${sources})
    target_include_directories(quarnel_core PUBLIC
        ${QUARNEL_SOURCE_ROOT}/src/data ${QUARNEL_SOURCE_ROOT}/src/serialport)
    target_link_libraries(quarnel_core PUBLIC
        Qt5::Core Qt5::SerialPort easylogging
        PkgConfig::WORKBOOK_READER PkgConfig::XLSXWRITER)
    # The analyses round every float operation on its own (area, intersections);
    # a fused multiply-add on FMA targets would shift the reported figures.
    target_compile_options(quarnel_core PRIVATE -ffp-contract=off)
endfunction()
