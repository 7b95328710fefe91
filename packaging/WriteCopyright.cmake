# Writes the Debian copyright file: the template with the licence texts put in
# from the files that hold them, each line indented by one space and empty
# lines as " .", as the format wants.
#
#   cmake -D SOURCE_DIR=... -D TEMPLATE=... -D OUTPUT=... -D PRODUCT_PAGE=...
#         -D MAINTAINER=... -P WriteCopyright.cmake
function(dep5_text file skip_before out)
    file(READ ${file} text)
    string(REPLACE "\r\n" "\n" text "${text}")
    if(skip_before)
        # The licence without its copyright line, which the Files paragraphs give.
        string(FIND "${text}" "${skip_before}" at)
        if(at LESS 0)
            message(FATAL_ERROR "${file} has no \"${skip_before}\"")
        endif()
        string(SUBSTRING "${text}" ${at} -1 text)
    endif()
    string(STRIP "${text}" text)
    # Lines one by one; a semicolon is protected from CMake's list splitting.
    string(REPLACE ";" "\\;" text "${text}")
    string(REPLACE "\n" ";" lines "${text}")
    set(body "")
    foreach(line IN LISTS lines)
        string(REPLACE "\\;" ";" line "${line}")
        string(REGEX REPLACE "[ \t]+$" "" line "${line}")
        if(line STREQUAL "")
            string(APPEND body " .\n")
        else()
            string(APPEND body " ${line}\n")
        endif()
    endforeach()
    string(REGEX REPLACE "\n$" "" body "${body}")
    set(${out} "${body}" PARENT_SCOPE)
endfunction()

dep5_text(${SOURCE_DIR}/LICENSE "" ZENTARO_LICENSE)
dep5_text(${SOURCE_DIR}/assets/icons/LICENSE "Permission is hereby granted" EXPAT_LICENSE)
configure_file(${TEMPLATE} ${OUTPUT} @ONLY)
