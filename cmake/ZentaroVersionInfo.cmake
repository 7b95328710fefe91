# zentaro_embed_version_info(<target> [DESCRIPTION <text>])
#
# Gives an executable its version block: the identity the program reads back
# from its own file at start-up. The values below are the one place they are
# set. On Windows they become the executable's real version resource; elsewhere
# a generated source puts the same bytes into the ELF section ".zentaro_version".
include_guard(GLOBAL)

macro(_zentaro_version_values target description)
    set(_zv_version "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.${PROJECT_VERSION_TWEAK}")
    string(REGEX REPLACE "\\.+$" "" _zv_version "${_zv_version}")
    get_target_property(_zv_file ${target} OUTPUT_NAME)
    if(NOT _zv_file)
        set(_zv_file ${target})
    endif()
    set(_zv_strings
        "CompanyName=KESTRIX"
        "FileDescription=${description}"
        "FileVersion=${_zv_version}"
        "InternalName=${_zv_file}"
        "LegalCopyright=Copyright © 2025 KESTRIX"
        "LegalTrademarks=Zentaro is a trademark of KESTRIX"
        "OriginalFilename=${_zv_file}${CMAKE_EXECUTABLE_SUFFIX}"
        "ProductName=Zentaro"
        "ProductVersion=${_zv_version}"
        "Comments=A processor speed benchmark"
        "PrivateBuild="
        "SpecialBuild=")
    # US English, Unicode: the table key 040904b0.
    set(_zv_language 0409)
    set(_zv_codepage 04b0)
endmacro()

if(WIN32)
    # The resource compiler (windres with MinGW) turns the script into the resource.
    enable_language(RC)
else()
    # The generator is a small program of ours, built for the build machine.
    add_executable(zentaro_versiongen ${CMAKE_CURRENT_LIST_DIR}/../tools/versiongen.cpp)
    target_link_libraries(zentaro_versiongen PRIVATE zentaro_platform)
    set_target_properties(zentaro_versiongen PROPERTIES
        RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools)
endif()

function(zentaro_embed_version_info target)
    cmake_parse_arguments(ARG "" "DESCRIPTION" "" ${ARGN})
    if(NOT ARG_DESCRIPTION)
        set(ARG_DESCRIPTION "Zentaro CPU Benchmark")
    endif()
    _zentaro_version_values(${target} "${ARG_DESCRIPTION}")

    if(WIN32)
        # The same values as a resource script for the resource compiler. The
        # script is UTF-8 (the copyright sign); the strings are stored as UTF-16.
        string(REPLACE "." "," _zv_commas "${_zv_version}")
        string(CONCAT _zv_rc "#pragma code_page(65001)\n#include <winver.h>\nVS_VERSION_INFO VERSIONINFO\n"
            "FILEVERSION ${_zv_commas}\nPRODUCTVERSION ${_zv_commas}\nFILEFLAGSMASK 0x3fL\n"
            "FILEOS VOS_NT_WINDOWS32\nFILETYPE VFT_APP\nBEGIN\n"
            "  BLOCK \"StringFileInfo\"\n  BEGIN\n    BLOCK \"${_zv_language}${_zv_codepage}\"\n    BEGIN\n")
        foreach(pair IN LISTS _zv_strings)
            string(FIND "${pair}" "=" eq)
            string(SUBSTRING "${pair}" 0 ${eq} name)
            math(EXPR from "${eq} + 1")
            string(SUBSTRING "${pair}" ${from} -1 value)
            # A resource script doubles a quote and escapes a backslash.
            string(REPLACE "\\" "\\\\" value "${value}")
            string(REPLACE "\"" "\"\"" value "${value}")
            string(APPEND _zv_rc "      VALUE \"${name}\", \"${value}\"\n")
        endforeach()
        string(APPEND _zv_rc "    END\n  END\n  BLOCK \"VarFileInfo\"\n  BEGIN\n"
            "    VALUE \"Translation\", 0x${_zv_language}, 0x${_zv_codepage}\n  END\nEND\n")
        set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
        file(GENERATE OUTPUT ${out} CONTENT "${_zv_rc}")
        target_sources(${target} PRIVATE ${out})
        return()
    endif()

    set(args --file-version ${_zv_version} --product-version ${_zv_version}
        --translation "${_zv_language},${_zv_codepage}")
    foreach(pair IN LISTS _zv_strings)
        list(APPEND args --string "${pair}")
    endforeach()
    set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_versioninfo.cpp)
    add_custom_command(OUTPUT ${out}
        COMMAND zentaro_versiongen --output ${out} ${args}
        DEPENDS zentaro_versiongen ${CMAKE_CURRENT_FUNCTION_LIST_FILE}
        COMMENT "Version block for ${target}"
        VERBATIM)
    target_sources(${target} PRIVATE ${out})
endfunction()
