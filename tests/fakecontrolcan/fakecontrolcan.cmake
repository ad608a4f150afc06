# The fake vendor library (fakecontrolcan.h), built once per test that loads it so that each
# copy lands in that test's own output folder, where the program's loader looks first.
#
#   include(${PROJECT_SOURCE_DIR}/tests/fakecontrolcan/fakecontrolcan.cmake)
#   upper_add_test(tst_x tst_x.cpp)
#   upper_add_fake_controlcan(tst_x)                       # libControlCAN.so beside tst_x
#   upper_add_fake_controlcan(tst_x OUTPUT_NAME ControlCANIncomplete
#                             DEFINITIONS FAKE_CONTROLCAN_OMIT_READ_ERR_INFO)
#
# The test also gets this folder on its include path, for fakecontrolcanclient.h.
include_guard(GLOBAL)

# Cached: the include is guarded globally, so later test folders only see the cache.
set(UPPER_FAKE_CONTROLCAN_DIR ${CMAKE_CURRENT_LIST_DIR} CACHE INTERNAL "")

function(upper_add_fake_controlcan test)
    cmake_parse_arguments(FAKE "" "OUTPUT_NAME" "DEFINITIONS" ${ARGN})
    if(NOT FAKE_OUTPUT_NAME)
        set(FAKE_OUTPUT_NAME ControlCAN)
    endif()
    get_target_property(test_dir ${test} RUNTIME_OUTPUT_DIRECTORY)
    set(fake ${test}_${FAKE_OUTPUT_NAME})

    add_library(${fake} SHARED
        ${UPPER_FAKE_CONTROLCAN_DIR}/fakecontrolcan.cpp
        ${UPPER_FAKE_CONTROLCAN_DIR}/fakecontrolcan.h)
    target_include_directories(${fake} PRIVATE
        ${PROJECT_SOURCE_DIR}/src ${UPPER_FAKE_CONTROLCAN_DIR})
    target_compile_definitions(${fake} PRIVATE ${FAKE_DEFINITIONS})
    set_target_properties(${fake} PROPERTIES
        OUTPUT_NAME ${FAKE_OUTPUT_NAME}
        LIBRARY_OUTPUT_DIRECTORY ${test_dir}
        RUNTIME_OUTPUT_DIRECTORY ${test_dir}
        AUTOMOC OFF)
    if(WIN32)
        # The vendor's file is ControlCAN.dll, without MinGW's "lib".
        set_target_properties(${fake} PROPERTIES PREFIX "")
    endif()

    add_dependencies(${test} ${fake})
    target_include_directories(${test} PRIVATE ${UPPER_FAKE_CONTROLCAN_DIR})
endfunction()
