# SPDX-License-Identifier: MIT
# The shared library's binary face: exactly the 25 public names in its dynamic
# symbol table, libc its only NEEDED library, no static initialiser in its objects.
#   cmake -DLIBRARY=... -DOBJECTS=a.o;b.o -DNM=nm -DREADELF=readelf -P check_exports.cmake
set(expected id3_field_free id3_frame_free id3_log id3_match_v1 id3_match_v2x id3_parse_v1_body
    id3_parse_v1_header id3_parse_v2x_body id3_parse_v2x_header id3v1_body_size id3v1_header_size
    id3v1_tag_size id3v2_extheader_size id3v2_header_size kelid3_field_description
    kelid3_field_to_iso8859 kelid3_field_to_utf8 kelid3_field_utf8 kelid3_genre_description
    kelid3_tag_free kelid3_tag_parse kelid3_tag_print kelid3_tag_query kelid3_tag_read
    kelid3_tags_join)
execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY} OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
# "<address> <kind> <name>": code (T) and read-only data (R) only.
string(REGEX MATCHALL "[0-9a-fA-F]+ [A-Za-z] [^\n]+" lines "${symbols}")
string(REGEX REPLACE "[0-9a-fA-F]+ [TR] " "" exported "${lines}")
list(SORT exported)
if(NOT exported STREQUAL expected)
    message(FATAL_ERROR "exported: ${exported}\nexpected: ${expected}")
endif()
execute_process(COMMAND ${READELF} -d ${LIBRARY} OUTPUT_VARIABLE dynamic)
string(REGEX MATCHALL "\\(NEEDED\\)[^\n]*" needed "${dynamic}")
if(NOT needed MATCHES "^\\(NEEDED\\)[^;]*\\[libc\\.so[.0-9]*\\]$" OR NOT dynamic MATCHES "\\(SONAME\\)")
    message(FATAL_ERROR "NEEDED: ${needed}, or no SONAME")
endif()
foreach(object IN LISTS OBJECTS)
    execute_process(COMMAND ${READELF} -S -W ${object} OUTPUT_VARIABLE sections)
    if(sections MATCHES "\\.init_array|\\.ctors")
        message(FATAL_ERROR "static initialiser in ${object}")
    endif()
endforeach()
