# vantler_module(NAME sources...): a module that libVantler loads with dlopen() the first time a
# document needs it (LoadableModule.h), named as the library asks for it (NAME.so, no "lib"), and
# built before anything that runs the library (the VantlerModules target). It links the library;
# the caller links what the module exists for, privately.
function(vantler_module name)
    add_library(${name} MODULE ${ARGN})
    # No run path: libVantler, its one library of ours, is loaded before it.
    set_target_properties(${name} PROPERTIES PREFIX "" SKIP_BUILD_RPATH ON INSTALL_RPATH "")
    target_link_libraries(${name} PRIVATE Vantler)
    add_dependencies(VantlerModules ${name})
endfunction()
