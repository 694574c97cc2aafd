# koramo_add_test(NAME SOURCES a.cpp b.cpp [LIBS x y] [LABELS l] [GTEST] [DISPLAY] [TIMEOUT s])
# Builds one test executable into build/tests/ and registers it with CTest in a fixed
# environment: offscreen Qt, C locale with UTF-8, no WebEngine sandbox (CI runs as root).
# Every test that links Qt or a program library also gets tests/support/
# StandardPathsTestMode.cpp (compiled once for each dialect): QStandardPaths test mode is on
# before main() (Qt Test) or as a global environment (GoogleTest). DISPLAY runs the test on a virtual X display (xvfb-run, Qt's
# xcb platform), for windows the archiver libraries only show where there is a display.
# koramo_use_test_pch(TARGET): the target reuses the precompiled Qt Test and Qt Widgets
# headers of koramo_test_support. It must be compiled as they are: the same Qt modules (Core,
# Gui, Widgets, PrintSupport, Test), and the same QT_TESTCASE_* values, which Qt Test otherwise
# sets per folder. No test looks its data up by source folder (QFINDTESTDATA), so that one is
# left undefined, and every test's build folder is build/tests, where its executable is.
function(koramo_use_test_pch target)
    koramo_test_pch_flags(${target})
    target_precompile_headers(${target} REUSE_FROM koramo_test_support)
endfunction()

function(koramo_test_pch_flags target)
    set_target_properties(${target} PROPERTIES QT_TESTCASE_BUILDDIR "${CMAKE_BINARY_DIR}/tests")
    target_compile_options(${target} PRIVATE -UQT_TESTCASE_SOURCEDIR)
endfunction()

function(koramo_add_test name)
    cmake_parse_arguments(T "GTEST;DISPLAY" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    set_target_properties(${name} PROPERTIES
        RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/tests")
    target_link_libraries(${name} PRIVATE koramo_options ${T_LIBS})
    if(T_GTEST)
        find_package(GTest REQUIRED)
        target_link_libraries(${name} PRIVATE GTest::gtest GTest::gtest_main)
        target_compile_definitions(${name} PRIVATE KORAMO_GTEST)
    endif()
    if(T_LIBS MATCHES "(^|;)(Qt6::|koramo_)")
        if(T_GTEST)
            target_link_libraries(${name} PRIVATE koramo_standard_paths_gtest)
        else()
            target_link_libraries(${name} PRIVATE koramo_standard_paths_qt)
        endif()
        target_link_libraries(${name} PRIVATE Qt6::Core)
    endif()
    # Qt Test programs of the windows share one precompiled header (tests/support).
    if(NOT T_GTEST AND T_LIBS MATCHES "(^|;)Qt6::Test(;|$)"
       AND T_LIBS MATCHES "(^|;)koramo_(test_support|archive_test_doubles|gui|core|shell_test_support)(;|$)"
       AND NOT T_LIBS MATCHES "Qt6::Network")
        koramo_use_test_pch(${name})
    endif()
    if(T_DISPLAY)
        add_test(NAME ${name} COMMAND xvfb-run -a -s "-screen 0 1024x768x24"
                 env QT_QPA_PLATFORM=xcb $<TARGET_FILE:${name}>)
    else()
        add_test(NAME ${name} COMMAND ${name})
    endif()
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    set_tests_properties(${name} PROPERTIES
        TIMEOUT ${T_TIMEOUT}
        LABELS "${T_LABELS}"
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8;LANG=C.UTF-8;QTWEBENGINE_DISABLE_SANDBOX=1;KORAMO_BUILD_BIN=${KORAMO_PROGRAM_DIR};KORAMO_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
endfunction()
