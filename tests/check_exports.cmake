# Checks the shared library's binary face: exactly the public names in its
# dynamic symbol table, libc as its only NEEDED library, and no static
# initialiser in any of its objects.
#   cmake -DLIBRARY=... -DOBJECTS=a.o;b.o -DNM=nm -DREADELF=readelf -P check_exports.cmake
set(expected
    id3_field_free id3_frame_free id3_log id3_match_v1 id3_match_v2x id3_parse_v1_body
    id3_parse_v1_header id3_parse_v2x_body id3_parse_v2x_header
    id3v1_body_size id3v1_header_size id3v1_tag_size id3v2_extheader_size id3v2_header_size
    kelid3_field_description kelid3_field_to_iso8859 kelid3_field_to_utf8
    kelid3_genre_description kelid3_tag_free kelid3_tag_parse kelid3_tag_print
    kelid3_tag_query kelid3_tags_join)

execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY}
    OUTPUT_VARIABLE nm_out RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${nm_out}")
set(exported)
foreach(line IN LISTS lines)
    # "<address> <kind> <name>"; kinds T (code) and R (read-only data).
    if(line MATCHES "^[0-9a-fA-F]+ ([A-Za-z]) ([^ ]+)$")
        list(APPEND exported ${CMAKE_MATCH_2})
        if(NOT CMAKE_MATCH_1 MATCHES "^[TR]$")
            message(SEND_ERROR "${CMAKE_MATCH_2}: unexpected symbol kind ${CMAKE_MATCH_1}")
        endif()
    endif()
endforeach()
list(SORT exported)
list(SORT expected)
if(NOT exported STREQUAL expected)
    set(extra ${exported})
    list(REMOVE_ITEM extra ${expected})
    set(missing ${expected})
    list(REMOVE_ITEM missing ${exported})
    message(FATAL_ERROR "exported names differ\n  extra: ${extra}\n  missing: ${missing}")
endif()

execute_process(COMMAND ${READELF} -d ${LIBRARY} OUTPUT_VARIABLE dynamic)
string(REGEX MATCHALL "\\(NEEDED\\)[^\n]*\\[([^]]+)\\]" needed "${dynamic}")
foreach(entry IN LISTS needed)
    if(NOT entry MATCHES "\\[libc\\.so[.0-9]*\\]")
        message(FATAL_ERROR "needs more than libc: ${entry}")
    endif()
endforeach()
if(NOT dynamic MATCHES "\\(SONAME\\)")
    message(FATAL_ERROR "no SONAME")
endif()

foreach(object IN LISTS OBJECTS)
    execute_process(COMMAND ${READELF} -S -W ${object} OUTPUT_VARIABLE sections)
    if(sections MATCHES "\\.init_array|\\.ctors")
        message(FATAL_ERROR "static initialiser in ${object}")
    endif()
endforeach()
list(LENGTH exported count)
message(STATUS "${count} exported names, libc only, no static initialisers")
