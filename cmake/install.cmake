# Installation and the Debian package. Included from the top-level
# CMakeLists.txt once the TalvorinTool target exists.

include(GNUInstallDirs)

install(TARGETS TalvorinTool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Where the program looks for it, from its own folder (TALVORIN_GUARDIAN_DIR).
install(TARGETS talvorin-guardian RUNTIME DESTINATION ${TALVORIN_GUARDIAN_DIR})
# Where main() points the engine at them (web/dictionaries.cpp).
install(FILES ${TALVORIN_DICTIONARIES}
    DESTINATION ${CMAKE_INSTALL_DATADIR}/TalvorinTool/qtwebengine_dictionaries)

# The AppStream id; the metainfo file in resources/ carries it in its name.
set(TALVORIN_APPSTREAM_ID com.example.TalvorinTool)

if(UNIX AND NOT APPLE)
    set(_talvorin_res ${PROJECT_SOURCE_DIR}/resources)

    # The file name is the desktop id: main.cpp sets the same name with
    # setDesktopFileName(), so the shell matches the running window to it.
    install(FILES ${_talvorin_res}/TalvorinTool.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

    # One hicolor entry per drawn size; a size added to resources/icons is
    # picked up on the next configure without touching this file.
    file(GLOB _talvorin_icons CONFIGURE_DEPENDS ${_talvorin_res}/icons/talvorin-*.png)
    foreach(_icon IN LISTS _talvorin_icons)
        get_filename_component(_name ${_icon} NAME_WE)
        string(REGEX REPLACE "^talvorin-([0-9]+)$" "\\1" _size ${_name})
        if(NOT _size MATCHES "^[0-9]+$")
            message(FATAL_ERROR "Icon ${_icon} is not named talvorin-<pixels>.png")
        endif()
        install(FILES ${_icon}
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${_size}x${_size}/apps
            RENAME TalvorinTool.png)
    endforeach()

    install(FILES ${_talvorin_res}/${TALVORIN_APPSTREAM_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

    # The man page carries the version of project().
    configure_file(${_talvorin_res}/TalvorinTool.1 ${PROJECT_BINARY_DIR}/TalvorinTool.1 @ONLY)
    install(FILES ${PROJECT_BINARY_DIR}/TalvorinTool.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
    set(CPACK_GENERATOR DEB)
    set(CPACK_PACKAGE_NAME talvorintool)
    set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
    set(CPACK_PACKAGE_VENDOR "Example Company")
    set(CPACK_PACKAGE_CONTACT "TalvorinTool maintainers <talvorintool@example.com>")
    set(CPACK_PACKAGE_HOMEPAGE_URL "https://www.example.com/TalvorinTool")
    set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "companion for a web site's chat badge")
    # CPack indents these lines itself for the control file.
    set(CPACK_PACKAGE_DESCRIPTION
        "Shows the chat of your site's chat badge in a window of its own, clicks the
badge for you and tells your site when you come and go. The program lives
in the notification area.")
    # The build type keeps debug information; the package should not.
    set(CPACK_STRIP_FILES ON)
    # Directories in the package are 0755 whatever the builder's umask.
    set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
        OWNER_READ OWNER_WRITE OWNER_EXECUTE
        GROUP_READ GROUP_EXECUTE
        WORLD_READ WORLD_EXECUTE)

    # The install prefix of a build is /usr/local; a package belongs in /usr.
    set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_SECTION net)
    set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
    # dpkg-shlibdeps (dpkg-dev) turns the libraries the executable links into
    # versioned Depends: Qt Widgets/Network/WebEngine, libxcb, libstdc++, libc.
    # The xcb platform plugin ships in libqt6gui6, which that already names.
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    # What the engine loads at run time and no linker sees: the renderer
    # process binary and the resource and locale .pak files.
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6webenginecore6-bin, libqt6webengine6-data")

    include(CPack)
endif()
