# The warnings every target of the project is built with, and ZENTARO_WERROR,
# which makes them errors (./test.sh and CI turn it on). Two are left out:
# sign conversions (Qt's signed sizes against the standard library's size_t
# would need a cast at nearly every container access without finding
# anything), and missing field initialisers (every aggregate here gives its
# members defaults, and naming only the first few is how they are meant to be
# filled).
include_guard(GLOBAL)
include(ZentaroTargets)

option(ZENTARO_WERROR "Treat compiler warnings as errors" OFF)

add_library(zentaro_warnings INTERFACE)
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    target_compile_options(zentaro_warnings INTERFACE
        -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion
        -Wno-missing-field-initializers
        $<$<BOOL:${ZENTARO_WERROR}>:-Werror>)
endif()

# Called once, after every folder has been added: every library, program and
# test of the tree links the warnings, privately, so that they never pass on to
# a target's users.
function(zentaro_apply_warnings)
    _zentaro_targets_below(${CMAKE_SOURCE_DIR} targets)
    foreach(t IN LISTS targets)
        get_target_property(type ${t} TYPE)
        get_target_property(imported ${t} IMPORTED)
        get_target_property(foreign ${t} ZENTARO_NO_WARNINGS)
        if(foreign OR imported OR NOT type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY)$")
            continue()
        endif()
        target_link_libraries(${t} PRIVATE zentaro_warnings)
    endforeach()
endfunction()
