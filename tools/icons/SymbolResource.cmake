# Copies the Lucide icons named by a symbol map into a resource folder, one file
# per symbol name, and writes the Qt resource file listing them.
#   cmake -DMAP=<symbol-map.txt> -DICONS=<lucide-static/icons> -DOUT=<folder> -P SymbolResource.cmake
# Also usable with include(): brindle_read_symbol_map(<map> <out-var>) yields
# "symbol=icon" pairs.

function(brindle_read_symbol_map map out_var)
    file(STRINGS "${map}" lines)
    set(pairs "")
    foreach(line IN LISTS lines)
        string(STRIP "${line}" line)
        if(line STREQUAL "" OR line MATCHES "^#")
            continue()
        endif()
        if(NOT line MATCHES "^([a-z0-9.]+)[ \t]+([a-z0-9-]+)$")
            message(FATAL_ERROR "${map}: malformed line '${line}'")
        endif()
        list(APPEND pairs "${CMAKE_MATCH_1}=${CMAKE_MATCH_2}")
    endforeach()
    set(${out_var} "${pairs}" PARENT_SCOPE)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE AND MAP)
    brindle_read_symbol_map("${MAP}" pairs)
    file(MAKE_DIRECTORY "${OUT}/symbols")
    set(qrc "<RCC>\n  <qresource prefix=\"/symbols\">\n")
    foreach(pair IN LISTS pairs)
        string(REPLACE "=" ";" parts "${pair}")
        list(GET parts 0 symbol)
        list(GET parts 1 icon)
        if(NOT EXISTS "${ICONS}/${icon}.svg")
            message(FATAL_ERROR "Symbol ${symbol}: no icon ${ICONS}/${icon}.svg")
        endif()
        configure_file("${ICONS}/${icon}.svg" "${OUT}/symbols/${symbol}.svg" COPYONLY)
        string(APPEND qrc "    <file alias=\"${symbol}.svg\">symbols/${symbol}.svg</file>\n")
    endforeach()
    string(APPEND qrc "  </qresource>\n</RCC>\n")
    file(WRITE "${OUT}/symbols.qrc" "${qrc}")
endif()
