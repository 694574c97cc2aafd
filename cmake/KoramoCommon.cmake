# One interface target carries the language level, warnings and the strict Qt defines that
# every target of the project links: no implicit char* <-> QString conversion anywhere, so
# each conversion names its encoding.
set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
set(CMAKE_AUTOMOC ON)
if(NOT CMAKE_BUILD_TYPE AND NOT CMAKE_CONFIGURATION_TYPES)
    set(CMAKE_BUILD_TYPE RelWithDebInfo CACHE STRING "Build type" FORCE)
endif()

# Warnings, for every target (the archivers and the stub, which use no Qt, included). Qt and
# system headers come in as -isystem, so they stay out of it.
add_library(koramo_warnings INTERFACE)
target_compile_options(koramo_warnings INTERFACE
    -Wall -Wextra -Wno-unused-parameter -Wshadow -Wcast-align -Wpedantic
    $<$<COMPILE_LANGUAGE:CXX>:-Wnon-virtual-dtor -Wold-style-cast -Woverloaded-virtual>)

add_library(koramo_options INTERFACE)
target_link_libraries(koramo_options INTERFACE koramo_warnings)
target_compile_definitions(koramo_options INTERFACE
    QT_NO_CAST_FROM_ASCII
    QT_NO_CAST_TO_ASCII
    QT_NO_CAST_FROM_BYTEARRAY
    QT_NO_URL_CAST_FROM_STRING
    QT_USE_QSTRINGBUILDER
    QT_NO_KEYWORDS
    QT_DISABLE_DEPRECATED_UP_TO=0x060400)

# Sanitizer builds (scripts/sanitize.sh): KORAMO_SANITIZE=address,undefined or thread. Every
# target is instrumented, the archiver libraries included, and the first finding stops the
# program, so that a test cannot pass over it.
set(KORAMO_SANITIZE "" CACHE STRING "Sanitizers for every target (address,undefined or thread)")
if(KORAMO_SANITIZE)
    add_compile_options(-fsanitize=${KORAMO_SANITIZE} -fno-omit-frame-pointer
        -fno-sanitize-recover=all)
    add_link_options(-fsanitize=${KORAMO_SANITIZE})
endif()
