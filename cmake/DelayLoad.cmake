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
# and links it instead of the import library everywhere: "-l<dll>" finds it
# first on the library search path, and the full paths of the import
# libraries in the link interfaces of the imported (Qt) targets are replaced.
# Call it after find_package(Qt5).
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
        list(APPEND replacements "${import_lib}|${out}")
        unset(import_lib)
    endforeach()
    link_directories(BEFORE ${folder})

    get_property(targets DIRECTORY ${CMAKE_SOURCE_DIR} PROPERTY IMPORTED_TARGETS)
    foreach(target IN LISTS targets)
        foreach(property IN ITEMS INTERFACE_LINK_LIBRARIES IMPORTED_LINK_INTERFACE_LIBRARIES
                IMPORTED_LINK_INTERFACE_LIBRARIES_RELEASE)
            get_target_property(libraries ${target} ${property})
            if(NOT libraries)
                continue()
            endif()
            foreach(replacement IN LISTS replacements)
                string(REPLACE "|" ";" pair "${replacement}")
                list(GET pair 0 from)
                list(GET pair 1 to)
                # Plain entries and entries inside generator expressions.
                string(REPLACE "${from}" "${to}" libraries "${libraries}")
            endforeach()
            set_target_properties(${target} PROPERTIES ${property} "${libraries}")
        endforeach()
    endforeach()
endfunction()
