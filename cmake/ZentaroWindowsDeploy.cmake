# What the Windows window program needs beside it, and nothing more: the Qt
# libraries it uses, the Windows platform and style plugins, the Schannel TLS
# plugin for HTTPS, and the MinGW runtime that Qt's libraries were built with
# (the programs themselves link it statically).
#
# zentaro_deploy_qt(<target>): copies them beside the built programs when
# <target> is built, and installs them beside the installed ones.
include_guard(GLOBAL)

function(_zentaro_mingw_runtime out)
    set(dlls)
    foreach(name libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
        execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${name}
            OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
        if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
            message(FATAL_ERROR "The MinGW runtime library ${name} was not found")
        endif()
        get_filename_component(path "${path}" REALPATH)
        list(APPEND dlls ${path})
    endforeach()
    set(${out} ${dlls} PARENT_SCOPE)
endfunction()

function(zentaro_deploy_qt target)
    _zentaro_mingw_runtime(runtime)
    set(libraries Qt6::Core Qt6::Gui Qt6::Widgets Qt6::Network)
    # Plugin target and the folder Qt looks for it in, beside the program.
    set(plugins Qt6::QWindowsIntegrationPlugin platforms
                Qt6::QWindowsVistaStylePlugin styles
                Qt6::QSchannelBackendPlugin tls)
    set(commands)
    foreach(lib IN LISTS libraries)
        list(APPEND commands COMMAND ${CMAKE_COMMAND} -E copy_if_different
            $<TARGET_FILE:${lib}> $<TARGET_FILE_DIR:${target}>)
        install(FILES $<TARGET_FILE:${lib}> DESTINATION ${CMAKE_INSTALL_BINDIR})
    endforeach()
    foreach(dll IN LISTS runtime)
        list(APPEND commands COMMAND ${CMAKE_COMMAND} -E copy_if_different
            ${dll} $<TARGET_FILE_DIR:${target}>)
        install(FILES ${dll} DESTINATION ${CMAKE_INSTALL_BINDIR})
    endforeach()
    while(plugins)
        list(POP_FRONT plugins plugin folder)
        if(NOT TARGET ${plugin})
            message(FATAL_ERROR "Qt for Windows lacks the plugin ${plugin}")
        endif()
        list(APPEND commands
            COMMAND ${CMAKE_COMMAND} -E make_directory $<TARGET_FILE_DIR:${target}>/${folder}
            COMMAND ${CMAKE_COMMAND} -E copy_if_different
                $<TARGET_FILE:${plugin}> $<TARGET_FILE_DIR:${target}>/${folder})
        install(FILES $<TARGET_FILE:${plugin}> DESTINATION ${CMAKE_INSTALL_BINDIR}/${folder})
    endwhile()
    add_custom_command(TARGET ${target} POST_BUILD ${commands} VERBATIM)
    # "cmake --install --strip" strips the programs; the libraries beside them
    # are stripped the same way (the MinGW runtime's carry debugging information).
    install(CODE "
        if(CMAKE_INSTALL_DO_STRIP)
            file(GLOB_RECURSE dlls \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/*.dll\")
            foreach(dll IN LISTS dlls)
                execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded \"\${dll}\")
            endforeach()
        endif()")
endfunction()
