# Helpers shared by the folders under src/.
include_guard(GLOBAL)

# Compiler flags that only GCC and clang understand, for the targets that need them.
function(zentaro_gnu_compile_options target scope)
    if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
        target_compile_options(${target} ${scope} ${ARGN})
    endif()
endfunction()

# A window library: the Designer forms, resources and meta-objects of its folder
# are generated, and it may use Qt Widgets.
function(zentaro_window_library target)
    set_target_properties(${target} PROPERTIES AUTOMOC ON AUTOUIC ON AUTORCC ON)
    target_link_libraries(${target} PUBLIC Qt6::Widgets)
endfunction()

function(_zentaro_targets_below dir out)
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    foreach(sub IN LISTS subdirs)
        _zentaro_targets_below(${sub} more)
        list(APPEND targets ${more})
    endforeach()
    set(${out} ${targets} PARENT_SCOPE)
endfunction()

# Writes, for every target built from src/, its kind, folder, direct link
# libraries and files, one fact per line:
#   target <name> <type> <source folder>
#   links <a;b;...>
#   sources <a;b;...>
# and where the Qt Widgets headers live. Read by the layering test.
function(zentaro_write_layer_manifest file)
    _zentaro_targets_below(${CMAKE_SOURCE_DIR}/src targets)
    set(widgets_dirs)
    if(TARGET Qt6::Widgets)
        get_target_property(widgets_dirs Qt6::Widgets INTERFACE_INCLUDE_DIRECTORIES)
    endif()
    set(content "source_root ${CMAKE_SOURCE_DIR}/src\n")
    foreach(dir IN LISTS widgets_dirs)
        string(APPEND content "widgets_include ${dir}\n")
    endforeach()
    foreach(t IN LISTS targets)
        get_target_property(type ${t} TYPE)
        if(type STREQUAL "UTILITY" OR type STREQUAL "INTERFACE_LIBRARY")
            continue()
        endif()
        get_target_property(dir ${t} SOURCE_DIR)
        string(APPEND content "target ${t} ${type} ${dir}\n"
            "links $<TARGET_PROPERTY:${t},LINK_LIBRARIES>\n"
            "sources $<TARGET_PROPERTY:${t},SOURCES>\n")
    endforeach()
    file(GENERATE OUTPUT ${file} CONTENT "${content}")
endfunction()
