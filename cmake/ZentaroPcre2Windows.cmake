# PCRE2 for the Windows build, 8-bit code units, built from the copy of its
# sources that scripts/build-qt-windows.sh keeps with Qt for Windows (Debian
# has no PCRE2 for MinGW-w64). Defines the target PkgConfig::PCRE2, as the
# Linux build's pkg-config lookup does.
include_guard(GLOBAL)

set(_pcre2 ${ZENTARO_QT_WINDOWS_PREFIX}/3rdparty/pcre2/src)
if(NOT EXISTS ${_pcre2}/pcre2.h)
    message(FATAL_ERROR "No PCRE2 sources in ${_pcre2}: run scripts/build-qt-windows.sh again")
endif()
add_library(zentaro_pcre2 STATIC
    ${_pcre2}/pcre2_auto_possess.c ${_pcre2}/pcre2_chartables.c ${_pcre2}/pcre2_compile.c
    ${_pcre2}/pcre2_config.c ${_pcre2}/pcre2_context.c ${_pcre2}/pcre2_dfa_match.c
    ${_pcre2}/pcre2_error.c ${_pcre2}/pcre2_extuni.c ${_pcre2}/pcre2_find_bracket.c
    ${_pcre2}/pcre2_jit_compile.c ${_pcre2}/pcre2_maketables.c ${_pcre2}/pcre2_match.c ${_pcre2}/pcre2_match_data.c
    ${_pcre2}/pcre2_newline.c ${_pcre2}/pcre2_ord2utf.c ${_pcre2}/pcre2_pattern_info.c
    ${_pcre2}/pcre2_script_run.c ${_pcre2}/pcre2_serialize.c ${_pcre2}/pcre2_string_utils.c
    ${_pcre2}/pcre2_study.c ${_pcre2}/pcre2_substitute.c ${_pcre2}/pcre2_substring.c
    ${_pcre2}/pcre2_tables.c ${_pcre2}/pcre2_ucd.c ${_pcre2}/pcre2_valid_utf.c
    ${_pcre2}/pcre2_xclass.c)
# The library's own configuration header; no JIT (the one pattern is small).
target_compile_definitions(zentaro_pcre2 PRIVATE HAVE_CONFIG_H PCRE2_DISABLE_JIT
    PUBLIC PCRE2_CODE_UNIT_WIDTH=8 PCRE2_STATIC)
target_include_directories(zentaro_pcre2 SYSTEM PUBLIC ${_pcre2})
# Someone else's code: built as it is, without the project's warnings.
set_target_properties(zentaro_pcre2 PROPERTIES ZENTARO_NO_WARNINGS ON)
target_compile_options(zentaro_pcre2 PRIVATE -w)
add_library(PkgConfig::PCRE2 ALIAS zentaro_pcre2)
