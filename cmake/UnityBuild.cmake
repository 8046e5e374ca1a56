# Unity build of a library: its sources compiled a batch at a time, each batch as one
# file, so that the headers and the inline code they share are compiled once per
# batch. In one batch all the files share one anonymous namespace and see each other's
# namespace-level `using namespace`, so some files stay out:
#   - every file with a `using` declaration or directive at file level (found here
#     by itself);
#   - the files given in KEEP_OUT (relative to the library's folder), whose
#     file-local names another file of the library also defines.
# -DQINGHEBU_UNITY_BUILD=OFF compiles every file on its own.
option(QINGHEBU_UNITY_BUILD "Compile the core library in batches (unity build)" ON)
set(QINGHEBU_UNITY_BATCH_SIZE 8 CACHE STRING "Source files per unity batch")

function(qinghebu_unity_build target)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "KEEP_OUT")
    if(NOT QINGHEBU_UNITY_BUILD)
        return()
    endif()
    set_target_properties(${target} PROPERTIES
        UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE ${QINGHEBU_UNITY_BATCH_SIZE})
    get_target_property(sources ${target} SOURCES)
    get_target_property(dir ${target} SOURCE_DIR)
    set(kept_out)
    foreach(source ${sources})
        if(source MATCHES "\\.cpp$")
            file(STRINGS ${source} directives REGEX "^using ")
            if(directives)
                list(APPEND kept_out ${source})
            endif()
        endif()
    endforeach()
    foreach(source ${arg_KEEP_OUT})
        list(APPEND kept_out ${dir}/${source})
    endforeach()
    set_source_files_properties(${kept_out} TARGET_DIRECTORY ${target}
        PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
endfunction()
