# The layers, checked when the configure step ends: a target of a lower layer that can reach a
# forbidden library through its link lines (LINK_LIBRARIES and INTERFACE_LINK_LIBRARIES,
# followed through every target they name) stops the configure step, and so does a file that
# includes from a higher layer's folder (KoramoIncludeLayers.cmake).
include("${CMAKE_CURRENT_LIST_DIR}/KoramoIncludeLayers.cmake")

# Collects into OUT every target and library name reachable from TARGET's link lines.
function(_koramo_collect_links target out)
    set(seen "")
    set(queue "${target}")
    while(queue)
        list(POP_FRONT queue item)
        # $<LINK_ONLY:x> (a private dependency of a static library) still ends up linked.
        string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" item "${item}")
        if(item STREQUAL "" OR item MATCHES "^\\$<" OR item IN_LIST seen)
            continue()
        endif()
        list(APPEND seen "${item}")
        if(NOT TARGET "${item}")
            continue()
        endif()
        get_target_property(aliased "${item}" ALIASED_TARGET)
        if(aliased)
            list(APPEND queue "${aliased}")
        endif()
        get_target_property(type "${item}" TYPE)
        set(props INTERFACE_LINK_LIBRARIES)
        if(NOT type STREQUAL "INTERFACE_LIBRARY")
            get_target_property(imported "${item}" IMPORTED)
            if(NOT imported)
                list(APPEND props LINK_LIBRARIES)
            endif()
        endif()
        foreach(prop ${props})
            get_target_property(links "${item}" ${prop})
            if(links)
                list(APPEND queue ${links})
            endif()
        endforeach()
    endwhile()
    set(${out} "${seen}" PARENT_SCOPE)
endfunction()

# koramo_forbid_links(TARGET lib... ) — fails the configure step when TARGET reaches any of
# the named libraries (exact target names, or regular expressions given as REGEX:expr).
function(koramo_forbid_links target)
    if(NOT TARGET "${target}")
        message(FATAL_ERROR "Layer check: no target ${target}")
    endif()
    _koramo_collect_links("${target}" reached)
    foreach(forbidden ${ARGN})
        foreach(name ${reached})
            if(forbidden MATCHES "^REGEX:(.*)$")
                set(hit FALSE)
                if(name MATCHES "${CMAKE_MATCH_1}")
                    set(hit TRUE)
                endif()
            else()
                set(hit FALSE)
                if(name STREQUAL forbidden)
                    set(hit TRUE)
                endif()
            endif()
            if(hit)
                message(FATAL_ERROR
                    "Layer check: ${target} links ${name}, which its layer must not reach")
            endif()
        endforeach()
    endforeach()
endfunction()

function(koramo_check_layers)
    set(desktop_services PkgConfig::ICU PkgConfig::ICUI18N PkgConfig::GIO PkgConfig::GST
        PkgConfig::LIBARCHIVE PkgConfig::GCAB)
    # base: QtCore and QtGui only.
    koramo_forbid_links(koramo_base Qt6::Widgets Qt6::PrintSupport koramo_platform koramo_gui
        ${desktop_services})
    # platform: the desktop services, never Widgets.
    koramo_forbid_links(koramo_platform Qt6::Widgets Qt6::PrintSupport koramo_gui)
    # The program never links the browser engine: only its module does, loaded on first use.
    koramo_forbid_links(koramo_gui "REGEX:^Qt[0-9]*::WebEngine")
    # The archivers' core, the LZH codec and the fuzz targets: no Qt at all.
    foreach(target archiver_core lzh_codec)
        koramo_forbid_links(${target} "REGEX:^Qt[0-9]*::")
    endforeach()
    koramo_check_include_layers("${CMAKE_SOURCE_DIR}/src" ${KORAMO_LAYER_FOLDERS}
        APART ${KORAMO_APART_FOLDERS})
    if(NOT BUILD_TESTING)
        message(STATUS "Layer check passed: base and platform reach no Widgets; the archivers' "
                       "core and the LZH codec reach no Qt; no folder includes from a higher layer (tests not "
                       "built)")
        return()
    endif()
    foreach(target fuzz_lzh_header_replay fuzz_lzh_decoder_replay fuzz_command_line_replay)
        koramo_forbid_links(${target} "REGEX:^Qt[0-9]*::")
    endforeach()
    # The tests of base and platform code run without Widgets.
    foreach(target tst_profile tst_cp932 tst_work_folder tst_text_encoding tst_rtf_reader
            fuzz_exp_ini_replay fuzz_id3_replay fuzz_rtf_reader_replay fuzz_mci_command_replay
            fuzz_text_encoding_replay)
        koramo_forbid_links(${target} Qt6::Widgets koramo_gui)
    endforeach()
    foreach(target tst_archiver_common tst_lzh_codec)
        koramo_forbid_links(${target} "REGEX:^Qt[0-9]*::")
    endforeach()
    message(STATUS "Layer check passed: base and platform reach no Widgets; the archivers' "
                   "core, the LZH codec and the fuzz targets reach no Qt; no folder includes "
                   "from a higher layer")
endfunction()
