# The Windows build (cross-compiled with mingw-w64, see scripts/build-windows.sh):
# the core layers that need no files or terminal, and the automation server
# myfb.dll with its type library. Tests are Windows programs run under wine.

set(FENBAN_WINE_IDL_DIR /usr/include/wine/wine/windows CACHE PATH "IDL headers (oaidl.idl) from libwine-dev")
# widl reads stdole2.tlb (imported by the IDL) from wine's Windows libraries;
# the 64-bit copy serves a 32-bit build too when wine32 is not installed.
set(wine_lib_dir /usr/lib/x86_64-linux-gnu/wine/x86_64-windows)
if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND EXISTS /usr/lib/i386-linux-gnu/wine/i386-windows/stdole2.tlb)
  set(wine_lib_dir /usr/lib/i386-linux-gnu/wine/i386-windows)
endif()
set(FENBAN_WINE_LIB_DIR ${wine_lib_dir} CACHE PATH "folder of stdole2.tlb")

include(${CMAKE_CURRENT_LIST_DIR}/core_layers.cmake)

# The type library: widl turns the IDL into the .tlb (embedded as resource 1)
# and a header with the interface's C++ declaration.
set(idl ${CMAKE_CURRENT_SOURCE_DIR}/src/automation/vantrel.idl)
set(generated ${CMAKE_CURRENT_BINARY_DIR}/generated)
file(MAKE_DIRECTORY ${generated}/automation)
add_custom_command(
  OUTPUT ${generated}/vantrel.tlb ${generated}/automation/vantrel_h.h
  COMMAND ${FENBAN_WIDL} ${FENBAN_WIDL_FLAGS} -I ${FENBAN_WINE_IDL_DIR} -L ${FENBAN_WINE_LIB_DIR}
          -t -T ${generated}/vantrel.tlb -h -H ${generated}/automation/vantrel_h.h ${idl}
  DEPENDS ${idl}
  COMMENT "widl: type library Vantrel")
add_custom_target(fenban_typelib DEPENDS ${generated}/vantrel.tlb ${generated}/automation/vantrel_h.h)
set_source_files_properties(${CMAKE_CURRENT_SOURCE_DIR}/src/automation/myfb.rc PROPERTIES
  OBJECT_DEPENDS ${generated}/vantrel.tlb)

set(windows_link_options -static -static-libgcc -static-libstdc++)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  # The .def file names the entry points without their stdcall decoration.
  list(APPEND windows_link_options -Wl,--enable-stdcall-fixup)
endif()
set(windows_system_libs ole32 oleaut32 uuid advapi32 user32 shell32 kernel32)

# Everything of the server but its entry points, so tests can link it too.
file(GLOB automation_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/src/automation/*.cpp)
list(FILTER automation_sources EXCLUDE REGEX ".*/class_factory\\.cpp$")
add_library(fenban_automation STATIC ${automation_sources})
add_dependencies(fenban_automation fenban_typelib)
target_include_directories(fenban_automation PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/src ${generated})
target_link_libraries(fenban_automation PUBLIC fenban_bridge ${windows_system_libs})

add_library(myfb SHARED
  src/automation/class_factory.cpp
  src/automation/myfb.def
  src/automation/myfb.rc)
set_target_properties(myfb PROPERTIES PREFIX "" OUTPUT_NAME myfb)
target_include_directories(myfb PRIVATE ${generated})
target_link_libraries(myfb PRIVATE fenban_automation)
target_link_options(myfb PRIVATE ${windows_link_options})
set_property(TARGET myfb PROPERTY RESOURCE_INCLUDE_DIRECTORIES ${generated})
target_include_directories(myfb PRIVATE $<$<COMPILE_LANGUAGE:RC>:${generated}>)

# Windows test programs: run under wine by scripts/test-windows.sh.
if(FENBAN_BUILD_TESTS)
  # The checks and test objects the programs share, and the teacher's
  # workflow shared with the Linux build's native twin, which builds its list
  # with the example generator (fmt as headers only).
  file(GLOB windows_test_support CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tests/automation/*.cpp)
  list(FILTER windows_test_support EXCLUDE REGEX ".*_test\\.cpp$")
  file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/fmt-include)
  file(CREATE_LINK /usr/include/fmt ${CMAKE_CURRENT_BINARY_DIR}/fmt-include/fmt SYMBOLIC)
  add_library(fenban_wintest STATIC ${windows_test_support}
    tests/automation/workflow/model_dump.cpp
    tests/automation/workflow/teacher_workflow.cpp
    src/app/example_generator.cpp)
  target_compile_definitions(fenban_wintest PUBLIC FMT_HEADER_ONLY)
  target_include_directories(fenban_wintest SYSTEM PUBLIC ${CMAKE_CURRENT_BINARY_DIR}/fmt-include)
  target_include_directories(fenban_wintest PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/tests)
  target_link_libraries(fenban_wintest PUBLIC fenban_automation)
  file(GLOB windows_tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tests/automation/*_test.cpp)
  foreach(test_source ${windows_tests})
    get_filename_component(test_name ${test_source} NAME_WE)
    add_executable(${test_name} ${test_source})
    target_link_libraries(${test_name} PRIVATE fenban_wintest)
    # The source tree as wine shows it (drive Z: is the Linux root).
    target_compile_definitions(${test_name} PRIVATE FENBAN_SOURCE_DIR="Z:${CMAKE_CURRENT_SOURCE_DIR}")
    target_link_options(${test_name} PRIVATE ${windows_link_options} -municode)
    add_dependencies(${test_name} myfb)
  endforeach()
endif()
