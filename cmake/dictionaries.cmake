# The engine's spelling dictionaries (LANGUAGE.bdic) made from the system's
# hunspell ones, into ${TALVORIN_DICTIONARIES_DIR}, by the target
# `dictionaries` that the program depends on. A hunspell package installed
# later is picked up by the next build. Included from the top-level
# CMakeLists.txt once the TalvorinTool target exists.

set(TALVORIN_HUNSPELL_DIR /usr/share/hunspell CACHE PATH "The system's hunspell dictionaries")
set(TALVORIN_DICTIONARIES_DIR ${PROJECT_BINARY_DIR}/qtwebengine_dictionaries)
# Debian's qt6-webengine-dev-tools
find_program(TALVORIN_CONVERT_DICT qwebengine_convert_dict HINTS /usr/lib/qt6/libexec)

set(_bdics)
if(TALVORIN_CONVERT_DICT)
    # Each dictionary once: the region aliases are links to it (fr_CA.dic -> fr.dic).
    file(GLOB _dics CONFIGURE_DEPENDS ${TALVORIN_HUNSPELL_DIR}/*.dic)
    foreach(_dic IN LISTS _dics)
        get_filename_component(_name ${_dic} NAME_WE)
        if(IS_SYMLINK ${_dic} OR NOT EXISTS ${TALVORIN_HUNSPELL_DIR}/${_name}.aff
           OR NOT _name MATCHES "^[a-z]+(_[A-Z]+)?$")
            continue()
        endif()
        string(REPLACE "_" "-" _language ${_name}) # en_US -> en-US, the engine's name
        set(_bdic ${TALVORIN_DICTIONARIES_DIR}/${_language}.bdic)
        add_custom_command(OUTPUT ${_bdic}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${TALVORIN_DICTIONARIES_DIR}
            COMMAND ${TALVORIN_CONVERT_DICT} ${_dic} ${_bdic}
            DEPENDS ${_dic} ${TALVORIN_HUNSPELL_DIR}/${_name}.aff
            COMMENT "Spelling dictionary ${_language}"
            VERBATIM)
        list(APPEND _bdics ${_bdic})
    endforeach()
endif()
if(NOT _bdics)
    message(WARNING "No spelling dictionaries: install qt6-webengine-dev-tools and hunspell-en-us")
endif()
add_custom_target(dictionaries ALL DEPENDS ${_bdics})
# The build's folder and the install's, where a copy of the program that
# has none beside it looks last (web/dictionaries.cpp).
set(TALVORIN_INSTALLED_DICTIONARIES_DIR
    ${CMAKE_INSTALL_FULL_DATADIR}/TalvorinTool/qtwebengine_dictionaries)
target_compile_definitions(talvorin_core PRIVATE
    TALVORIN_BUILD_DICTIONARIES_DIR="${TALVORIN_DICTIONARIES_DIR}"
    TALVORIN_INSTALLED_DICTIONARIES_DIR="${TALVORIN_INSTALLED_DICTIONARIES_DIR}")
add_dependencies(TalvorinTool dictionaries)
set(TALVORIN_DICTIONARIES ${_bdics})
