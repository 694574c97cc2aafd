# The layers by what each file includes. Every program file includes another by its path below
# src/ ("base/Paths.h"), so the first folder of that path names the layer it comes from. A file
# under a folder of one layer that includes a file from a folder of a higher layer fails the
# check; so does a program file that includes any file of the archivers but their C interface,
# and an archiver file that includes a program file.
#
# koramo_check_include_layers(SOURCE_ROOT LAYER... [APART RULE...]) — each LAYER is its name,
# "=" and the space-separated folders below SOURCE_ROOT that hold it ("gui=desktop app"),
# lowest first. Each RULE "a>b" says that folder a includes nothing from folder b, within a
# layer ("preview>archive": archive work registers its viewers with the preview, not the other
# way round). Fails the configure step.
#
# As a script (the lint test runs it on the tree as it is now):
#   cmake -DSOURCE_ROOT=src -DLAYERS="base=base|platform=platform|gui=desktop app"
#         -DAPART="preview>archive" -P KoramoIncludeLayers.cmake

if(CMAKE_SCRIPT_MODE_FILE)
    cmake_minimum_required(VERSION 3.25)
endif()

set(KORAMO_ARCHIVERS_FOLDER "archivers")
set(KORAMO_ARCHIVERS_INTERFACE "archivers/common/ArchiverApi.h")

# The quoted includes of FILE, one path each.
function(_koramo_quoted_includes file out)
    file(STRINGS "${file}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    set(found "")
    foreach(line ${lines})
        if(line MATCHES "\"([^\"]+)\"")
            list(APPEND found "${CMAKE_MATCH_1}")
        endif()
    endforeach()
    set(${out} "${found}" PARENT_SCOPE)
endfunction()

function(_koramo_sources_under folder out)
    file(GLOB_RECURSE files LIST_DIRECTORIES false
        "${folder}/*.h" "${folder}/*.hpp" "${folder}/*.cpp" "${folder}/*.c")
    set(${out} "${files}" PARENT_SCOPE)
endfunction()

function(koramo_check_include_layers root)
    cmake_parse_arguments(PARSE_ARGV 1 C "" "" "APART")
    foreach(rule ${C_APART})
        if(NOT rule MATCHES "^([^>]+)>(.+)$")
            message(FATAL_ERROR "Include check: a rule is FOLDER>FOLDER, not ${rule}")
        endif()
        list(APPEND _apart_${CMAKE_MATCH_1} "${CMAKE_MATCH_2}")
    endforeach()
    set(rank 0)
    set(folders "")
    foreach(entry ${C_UNPARSED_ARGUMENTS})
        if(NOT entry MATCHES "^([^=]+)=(.+)$")
            message(FATAL_ERROR "Include check: a layer is NAME=FOLDERS, not ${entry}")
        endif()
        set(layer "${CMAKE_MATCH_1}")
        string(REPLACE " " ";" layer_folders "${CMAKE_MATCH_2}")
        foreach(folder ${layer_folders})
            set(_rank_${folder} ${rank})
            set(_layer_${folder} "${layer}")
            list(APPEND folders "${folder}")
        endforeach()
        math(EXPR rank "${rank} + 1")
    endforeach()

    set(faults "")
    foreach(folder ${folders})
        _koramo_sources_under("${root}/${folder}" files)
        foreach(file ${files})
            file(RELATIVE_PATH shown "${root}" "${file}")
            _koramo_quoted_includes("${file}" includes)
            foreach(include ${includes})
                if(NOT include MATCHES "^([^/]+)/")
                    continue()
                endif()
                set(top "${CMAKE_MATCH_1}")
                if(top STREQUAL KORAMO_ARCHIVERS_FOLDER)
                    if(NOT include STREQUAL KORAMO_ARCHIVERS_INTERFACE)
                        list(APPEND faults "${shown} includes ${include}: the program includes "
                             "the archivers' C interface (${KORAMO_ARCHIVERS_INTERFACE}) alone\n")
                    endif()
                elseif(DEFINED _rank_${top} AND _rank_${top} GREATER _rank_${folder})
                    list(APPEND faults "${shown} includes ${include}: ${folder}/ is of the layer "
                         "${_layer_${folder}}, which must not include from ${_layer_${top}}\n")
                elseif(top IN_LIST _apart_${folder})
                    list(APPEND faults "${shown} includes ${include}: ${folder}/ includes "
                         "nothing from ${top}/\n")
                endif()
            endforeach()
        endforeach()
    endforeach()

    # The archivers are products of their own: nothing of the program's folders.
    _koramo_sources_under("${root}/${KORAMO_ARCHIVERS_FOLDER}" files)
    foreach(file ${files})
        file(RELATIVE_PATH shown "${root}" "${file}")
        _koramo_quoted_includes("${file}" includes)
        foreach(include ${includes})
            if(include MATCHES "^([^/]+)/" AND DEFINED _rank_${CMAKE_MATCH_1})
                list(APPEND faults "${shown} includes ${include}: the archivers include nothing "
                     "of the program\n")
            endif()
        endforeach()
    endforeach()

    if(faults)
        string(REPLACE ";" "" faults "${faults}")
        message(FATAL_ERROR "Include check: a file includes from a layer it must not reach\n"
                            "${faults}")
    endif()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE AND CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
    if(NOT SOURCE_ROOT OR NOT LAYERS)
        message(FATAL_ERROR "usage: cmake -DSOURCE_ROOT=DIR -DLAYERS=\"a|b c\" -P ${CMAKE_CURRENT_LIST_FILE}")
    endif()
    get_filename_component(SOURCE_ROOT "${SOURCE_ROOT}" ABSOLUTE)
    string(REPLACE "|" ";" layer_list "${LAYERS}")
    string(REPLACE "|" ";" apart_list "${APART}")
    koramo_check_include_layers("${SOURCE_ROOT}" ${layer_list} APART ${apart_list})
    message(STATUS "Include check passed")
endif()
