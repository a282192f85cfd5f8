# brindle_subsystem(<name> [PUBLIC <targets>...] [PRIVATE <targets>...])
# Builds the folder's *.cpp and *.h into the static library brindle_<name>.
# New source files are picked up without touching any CMakeLists. Link a
# dependency PUBLIC only when a public header of the folder needs it.
function(brindle_subsystem name)
    cmake_parse_arguments(ARG "" "" "PUBLIC;PRIVATE" ${ARGN})
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS
        ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
    if(sources)
        add_library(brindle_${name} STATIC ${sources})
        target_include_directories(brindle_${name} PUBLIC ${CMAKE_SOURCE_DIR}/src ${CMAKE_BINARY_DIR}/generated)
        target_link_libraries(brindle_${name} PUBLIC ${ARG_PUBLIC} PRIVATE ${ARG_PRIVATE})
    else()
        # A subsystem whose first files have not landed yet still gives its
        # dependents a target to link.
        add_library(brindle_${name} INTERFACE)
        target_include_directories(brindle_${name} INTERFACE ${CMAKE_SOURCE_DIR}/src ${CMAKE_BINARY_DIR}/generated)
        target_link_libraries(brindle_${name} INTERFACE ${ARG_PUBLIC})
    endif()
endfunction()

# brindle_tests(<folder> [DEPS <targets>...])
# One test program per tests/<folder>/*_test.cpp, each a CTest test of its own so
# that CTest runs them in parallel.
function(brindle_tests folder)
    cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
    file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
    file(GLOB helpers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    foreach(test_source ${tests})
        get_filename_component(stem ${test_source} NAME_WE)
        set(target ${folder}_${stem})
        add_executable(${target} ${test_source} ${helpers})
        target_link_libraries(${target} PRIVATE brindle_test_support ${ARG_DEPS})
        add_test(NAME ${target} COMMAND ${target})
        set_tests_properties(${target} PROPERTIES TIMEOUT 300)
    endforeach()
endfunction()

# brindle_bench(<name> <sources>... [DEPS <targets>...])
function(brindle_bench name)
    cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
    add_executable(bench_${name} ${ARG_UNPARSED_ARGUMENTS})
    target_link_libraries(bench_${name} PRIVATE brindle_bench_support ${ARG_DEPS})
    set_target_properties(bench_${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
endfunction()

# Adds every direct sub-folder of <dir> that has a CMakeLists.txt.
function(brindle_add_children dir)
    file(GLOB children LIST_DIRECTORIES true ${dir}/*)
    foreach(child ${children})
        if(EXISTS ${child}/CMakeLists.txt)
            add_subdirectory(${child})
        endif()
    endforeach()
endfunction()
