# Installed layout (any prefix):
#   bin/koramo                                   the executable, on PATH
#   lib/koramo/                                  the archiver libraries, the browser module and
#                                                the self-extracting stub, which the program finds
#                                                from its own location (base/Paths.cpp)
#   share/applications/koramo.desktop            the menu entry and its file associations
#   share/icons/hicolor/*/apps/koramo.{svg,png}  the icon
#   share/metainfo/io.github.koramo.koramo.metainfo.xml
#   share/koramo/help.html                       the help document (platform::dataFolderOf)
# exp.ini and the work folder then live in the user's configuration and cache folders.
include(GNUInstallDirs)

set(KORAMO_INSTALL_PARTS_DIR "lib/koramo")

install(TARGETS koramo RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
# Each archiver library's folder adds its target to KORAMO_ARCHIVER_LIBRARIES.
get_property(koramo_archiver_libraries GLOBAL PROPERTY KORAMO_ARCHIVER_LIBRARIES)
install(TARGETS ${koramo_archiver_libraries} koramo_webengine
    LIBRARY DESTINATION "${KORAMO_INSTALL_PARTS_DIR}")
install(TARGETS koramo-sfx RUNTIME DESTINATION "${KORAMO_INSTALL_PARTS_DIR}")

set(KORAMO_PACKAGING_DIR "${CMAKE_SOURCE_DIR}/packaging")
install(FILES "${KORAMO_PACKAGING_DIR}/koramo.desktop"
    DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
install(FILES "${KORAMO_PACKAGING_DIR}/io.github.koramo.koramo.metainfo.xml"
    DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo")
install(FILES "${KORAMO_PACKAGING_DIR}/icons/koramo.svg"
    DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps")
foreach(size 16 24 32 48 64 128 256)
    install(FILES "${KORAMO_PACKAGING_DIR}/icons/${size}x${size}/koramo.png"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps")
endforeach()
install(FILES "${KORAMO_PACKAGING_DIR}/koramo.1" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
install(FILES "${CMAKE_SOURCE_DIR}/src/about/help/help.html"
    DESTINATION "${CMAKE_INSTALL_DATADIR}/koramo")
