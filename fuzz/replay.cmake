# Every fuzz target built a second time by the library's own build, with its compiler and
# replay_main.cpp in place of libFuzzer, and registered with CTest: fuzz_replay.TARGET
# runs the target once over its committed regression inputs (fuzz/regressions/TARGET/)
# and its seed corpus, so that the normal and the sanitizer builds check both on every
# run. The seeds are written by fuzz_make_seeds, as a CTest fixture, into the build tree.
set(fuzz_dir ${PROJECT_SOURCE_DIR}/fuzz)
set(fuzz_seeds ${PROJECT_BINARY_DIR}/fuzz-seeds)

add_executable(ornith_fuzz_make_seeds ${fuzz_dir}/make_seeds.cpp)
target_include_directories(ornith_fuzz_make_seeds PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(ornith_fuzz_make_seeds PRIVATE ornith_warnings PkgConfig::LIBDEFLATE)
add_test(NAME fuzz_seeds COMMAND ornith_fuzz_make_seeds ${PROJECT_SOURCE_DIR} ${fuzz_seeds})
set_tests_properties(fuzz_seeds PROPERTIES FIXTURES_SETUP ornith_fuzz_seeds LABELS fuzz)

# The replay main is the same for every target: compiled once.
add_library(ornith_fuzz_replay_main OBJECT ${fuzz_dir}/replay_main.cpp)
target_link_libraries(ornith_fuzz_replay_main PRIVATE ornith_warnings)

# make_seeds.cpp names the targets it writes seeds for.
file(READ ${fuzz_dir}/make_seeds.cpp make_seeds_text)
file(GLOB fuzz_sources CONFIGURE_DEPENDS ${fuzz_dir}/fuzz_*.cpp)
foreach(source ${fuzz_sources})
    get_filename_component(name ${source} NAME_WE)
    string(REGEX REPLACE "^fuzz_" "" name ${name})
    add_executable(fuzz_${name}_replay ${source} $<TARGET_OBJECTS:ornith_fuzz_replay_main>)
    target_include_directories(fuzz_${name}_replay PRIVATE ${PROJECT_SOURCE_DIR})
    target_link_libraries(fuzz_${name}_replay PRIVATE ornith ornith_warnings PkgConfig::LIBDEFLATE)
    set(inputs "")
    if(EXISTS ${fuzz_dir}/regressions/${name})
        list(APPEND inputs ${fuzz_dir}/regressions/${name})
    endif()
    string(FIND "${make_seeds_text}" "\"${name}\"" seeded)
    if(NOT seeded EQUAL -1)
        list(APPEND inputs ${fuzz_seeds}/${name})
    endif()
    if(inputs)
        add_test(NAME fuzz_replay.${name} COMMAND fuzz_${name}_replay ${inputs}
            WORKING_DIRECTORY ${PROJECT_SOURCE_DIR})
        set_tests_properties(fuzz_replay.${name} PROPERTIES
            FIXTURES_REQUIRED ornith_fuzz_seeds LABELS fuzz)
    endif()
endforeach()
