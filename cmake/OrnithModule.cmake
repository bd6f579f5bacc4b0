# ornith_module(NAME
#     SOURCES  files of the subsystem
#     DEPS     other subsystems whose objects the tests need (base is always added)
#     LIBS     external libraries the subsystem uses
#     TESTS    GoogleTest sources beside the modules)
#
# Makes the object library ornith_NAME, adds its objects to libornith, and builds
# ornith_NAME_tests from the test sources against the subsystem's own objects and
# those of DEPS, so a subsystem can be built and tested while others are in flux.
function(ornith_module name)
    cmake_parse_arguments(M "" "" "SOURCES;DEPS;LIBS;TESTS" ${ARGN})
    set(target ornith_${name})
    add_library(${target} OBJECT ${M_SOURCES})
    target_include_directories(${target} PUBLIC $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>)
    target_compile_features(${target} PUBLIC cxx_std_20)
    target_link_libraries(${target} PRIVATE ornith_warnings)
    foreach(lib ${M_LIBS})
        target_link_libraries(${target} PUBLIC ${lib})
    endforeach()
    target_sources(ornith PRIVATE $<TARGET_OBJECTS:${target}>)

    set(objects ${target})
    if(NOT name STREQUAL "base")
        list(APPEND objects ornith_base)
    endif()
    foreach(dep ${M_DEPS})
        list(APPEND objects ornith_${dep})
    endforeach()
    set_property(GLOBAL PROPERTY ORNITH_OBJECTS_${name} "${objects}")

    if(ORNITH_BUILD_TESTS AND M_TESTS)
        add_executable(${target}_tests ${M_TESTS})
        target_link_libraries(${target}_tests PRIVATE ${objects} ornith_warnings GTest::gtest GTest::gtest_main)
        foreach(lib ${M_LIBS})
            target_link_libraries(${target}_tests PRIVATE ${lib})
        endforeach()
        target_compile_definitions(${target}_tests PRIVATE
            ORNITH_SOURCE_DIR="${PROJECT_SOURCE_DIR}" ORNITH_BINARY_DIR="${PROJECT_BINARY_DIR}")
        gtest_discover_tests(${target}_tests DISCOVERY_MODE PRE_TEST
            WORKING_DIRECTORY ${PROJECT_SOURCE_DIR} PROPERTIES LABELS ${name})
    endif()
endfunction()
