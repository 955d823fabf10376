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
# As many compilers at once as there are cores: the commands of one
# execute_process run side by side (they print nothing to the pipe between them).
cmake_host_system_information(RESULT cores QUERY NUMBER_OF_LOGICAL_CORES)
set(failed)
set(batch)
list(LENGTH SOURCES left)
foreach(source IN LISTS SOURCES)
    list(APPEND batch ${source})
    math(EXPR left "${left} - 1")
    list(LENGTH batch size)
    if(size LESS cores AND left GREATER 0)
        continue()
    endif()
    set(commands)
    foreach(one IN LISTS batch)
        list(APPEND commands COMMAND ${CXX} ${flags} ${one})
    endforeach()
    execute_process(${commands} RESULTS_VARIABLE statuses)
    foreach(one status IN ZIP_LISTS batch statuses)
        if(NOT status EQUAL 0)
            list(APPEND failed ${one})
        endif()
    endforeach()
    set(batch)
endforeach()
list(LENGTH SOURCES count)
if(failed)
    message(FATAL_ERROR "Not valid for Windows: ${failed}")
endif()
message(STATUS "${count} sources valid for Windows")
