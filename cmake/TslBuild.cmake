# Build settings and helper functions shared by the Linux, sanitizer and Windows builds.

if(WIN32)
  set(TSL_PLATFORM win32)
else()
  set(TSL_PLATFORM posix)
endif()

# Warnings apply to the project's own targets (not to GoogleTest's sources): link tsl_warnings.
add_library(tsl_warnings INTERFACE)
target_compile_options(tsl_warnings INTERFACE -Wall -Wextra -Wshadow -Wnon-virtual-dtor)
if(TSL_WERROR)
  target_compile_options(tsl_warnings INTERFACE -Werror)
endif()
# -O3 brings GCC 12's false -Wrestrict reports on std::string; -O2 is what we ship.
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG")

if(TSL_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

if(WIN32)
  add_compile_definitions(NOMINMAX WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0601 WINVER=0x0601)
  # One self-contained .exe: no libgcc, libstdc++ or winpthread DLLs beside it.
  add_link_options(-static -static-libgcc -static-libstdc++)
  set(TSL_SYSTEM_LIBRARIES user32 gdi32 comctl32 comdlg32 ole32 oleaut32 shell32 shlwapi
      advapi32 version winspool mpr uuid)
  # zlib (CRC-32) linked statically, so that TslRun.exe needs no zlib DLL beside it.
  find_library(TSL_ZLIB_STATIC NAMES libz.a REQUIRED)
  list(APPEND TSL_SYSTEM_LIBRARIES ${TSL_ZLIB_STATIC})
  set(TSL_RESOURCE_FILES ${CMAKE_SOURCE_DIR}/resources/tessaline.rc)
else()
  find_package(SQLite3 REQUIRED)
  find_package(ZLIB REQUIRED)
  find_package(Threads REQUIRED)
  set(TSL_SYSTEM_LIBRARIES SQLite::SQLite3 ZLIB::ZLIB Threads::Threads)
  set(TSL_RESOURCE_FILES)
endif()

# Sets OUT to the library sources of the given folders: every .cpp that is neither a unit test
# nor a program's entry point.
function(tsl_collect_sources out)
  set(result)
  foreach(folder IN LISTS ARGN)
    file(GLOB found CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${folder}/*.cpp)
    list(FILTER found EXCLUDE REGEX "_(test|main)\\.cpp$")
    list(APPEND result ${found})
  endforeach()
  set(${out} ${result} PARENT_SCOPE)
endfunction()

# Windows: a GUI-subsystem program without a console window. Linux: nothing to do.
function(tsl_make_gui_program target)
  if(WIN32)
    target_link_options(${target} PRIVATE -mwindows)
  endif()
endfunction()

# GoogleTest built from the sources Debian ships, so that every build (native, sanitized,
# cross-compiled) gets a gtest compiled with its own compiler and flags.
macro(tsl_add_googletest)
  set(TSL_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  add_subdirectory(${TSL_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  if(NOT TARGET GTest::gtest)
    add_library(GTest::gtest ALIAS gtest)
    add_library(GTest::gtest_main ALIAS gtest_main)
  endif()
endmacro()

# One test program per folder, made of the folder's *_test.cpp files (platform tests also take
# those of the platform being built), registered with CTest.
function(tsl_add_test_program folder)
  file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${folder}/*_test.cpp)
  # Tests that hold only on one system sit in a subfolder named for it.
  file(GLOB more CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${folder}/${TSL_PLATFORM}/*_test.cpp)
  list(APPEND tests ${more})
  if(NOT tests)
    return()
  endif()
  string(REPLACE "/" "_" name ${folder})
  # The tests carry the program's resources, so that its dialogs and pictures can be loaded.
  add_executable(${name}_tests ${tests} ${TSL_RESOURCE_FILES})
  target_link_libraries(${name}_tests PRIVATE tsl_test_support tsl_warnings)
  add_test(NAME ${name} COMMAND ${name}_tests)
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "TSL_TEST_SOURCE_DIR=${CMAKE_SOURCE_DIR}" TIMEOUT 600)
endfunction()
