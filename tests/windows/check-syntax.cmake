# Compiles the program's Windows sources (the *_win.cpp twins and every file
# compiled on both systems) with Debian's mingw-w64 cross compiler, for syntax
# only: a slip in code that only Windows builds fails here, not on someone's
# Windows machine. It is no Windows build: nothing is linked, moc does not run
# and no Windows Qt is at hand. Against the Linux Qt headers this works
# because Qt tells the systems apart by the compiler's own _WIN32
# (qsystemdetection.h), so the Windows parts of its headers (and of
# <windows.h>, mingw-w64's) are the ones read; the Linux qconfig.h only
# switches Qt features, none of which the program's code looks at.
# -Wno-attributes: with _WIN32 Qt's exported functions are dllimport, which
# its headers redeclare in ways that only MSVC keeps quiet about.
# Usage: cmake -DCXX=... -DSOURCES=a|b -DINCLUDES=a|b -DDEFINES=a|b -P check-syntax.cmake
foreach(list SOURCES INCLUDES DEFINES)
    string(REPLACE "|" ";" ${list} "${${list}}")
endforeach()
# Qt's targets name the host's /usr/include too, whose C library would shadow
# mingw-w64's.
list(REMOVE_DUPLICATES INCLUDES)
list(REMOVE_ITEM INCLUDES /usr/include)
set(flags -std=c++17 -fsyntax-only -Wno-attributes)
foreach(dir IN LISTS INCLUDES)
    list(APPEND flags -I${dir})
endforeach()
foreach(definition IN LISTS DEFINES)
    list(APPEND flags -D${definition})
endforeach()
set(failed)
foreach(source IN LISTS SOURCES)
    execute_process(COMMAND ${CXX} ${flags} ${source} RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        list(APPEND failed ${source})
    endif()
endforeach()
list(LENGTH SOURCES count)
if(failed)
    message(FATAL_ERROR "Not valid for Windows: ${failed}")
endif()
message(STATUS "${count} sources valid for Windows")
