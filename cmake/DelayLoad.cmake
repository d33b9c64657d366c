# Delay-loaded system DLLs for the Windows build.
#
# Windows looks for a DLL that is not one of its KnownDLLs in the program's
# own folder first. The installer starts from wherever it was downloaded, so
# every DLL it imports at load time must be a KnownDLL; the others (Qt needs
# dwmapi, uxtheme, version, winmm, userenv, netapi32, wtsapi32, ...) are
# delay-loaded: loaded at their first use, after main has restricted the DLL
# search to the system folder (Platform::restrictDllSearch).
#
# mirevale_delay_load(<folder> <dll>...) makes, for each DLL, a delay-import
# library lib<dll>.a in <folder> from MinGW's import library of the same name,
# and puts <folder> first on the library search path, so that every "-l<dll>"
# of the build (Qt's own included) links the delay-import library instead.
function(mirevale_delay_load folder)
    find_program(MIREVALE_DLLTOOL NAMES ${MINGW_PREFIX}-dlltool REQUIRED)
    find_program(MIREVALE_NM NAMES ${MINGW_PREFIX}-nm REQUIRED)
    file(MAKE_DIRECTORY ${folder})
    foreach(dll IN LISTS ARGN)
        find_file(import_lib lib${dll}.a PATHS /usr/${MINGW_PREFIX}/lib NO_DEFAULT_PATH
            NO_CACHE REQUIRED)
        set(out ${folder}/lib${dll}.a)
        if(NOT EXISTS ${out} OR ${import_lib} IS_NEWER_THAN ${out})
            # The functions of the import library: its "__imp_" symbols.
            execute_process(COMMAND ${MIREVALE_NM} --defined-only ${import_lib}
                OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
            string(REGEX MATCHALL "__imp_[A-Za-z0-9_@?]+" functions "${symbols}")
            list(REMOVE_DUPLICATES functions)
            list(TRANSFORM functions REPLACE "^__imp_" "")
            list(JOIN functions "\n" exports)
            file(WRITE ${folder}/${dll}.def "LIBRARY ${dll}.dll\nEXPORTS\n${exports}\n")
            execute_process(COMMAND ${MIREVALE_DLLTOOL} --input-def ${folder}/${dll}.def
                    --dllname ${dll}.dll --output-delaylib ${out}
                COMMAND_ERROR_IS_FATAL ANY)
        endif()
        unset(import_lib)
    endforeach()
    link_directories(BEFORE ${folder})
endfunction()
