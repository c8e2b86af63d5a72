# Cross build for 64-bit Windows with clang, from Linux, against the same
# MinGW-w64 headers, import libraries and posix-thread libstdc++ as the GCC
# build (cmake/mingw-w64-x86_64.cmake).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(CMAKE_C_COMPILER   clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET   x86_64-w64-mingw32)
set(CMAKE_CXX_COMPILER_TARGET x86_64-w64-mingw32)
set(CMAKE_RC_COMPILER  x86_64-w64-mingw32-windres)

# clang looks for the MinGW GCC installation under a plain version number,
# and this one sits in a directory named after its thread model
# (lib/gcc/x86_64-w64-mingw32/12-posix), so clang finds neither its C++
# headers nor its libraries. Ask that GCC where they are.
execute_process(COMMAND x86_64-w64-mingw32-gcc-posix -print-libgcc-file-name
                OUTPUT_VARIABLE wslc_libgcc OUTPUT_STRIP_TRAILING_WHITESPACE
                RESULT_VARIABLE wslc_libgcc_result)
if(NOT wslc_libgcc_result EQUAL 0 OR NOT EXISTS "${wslc_libgcc}")
  message(FATAL_ERROR "x86_64-w64-mingw32-gcc-posix is needed for its libstdc++ and libgcc")
endif()
get_filename_component(wslc_gcc_dir "${wslc_libgcc}" DIRECTORY)
set(wslc_cxx_include "${wslc_gcc_dir}/include/c++")

set(CMAKE_CXX_FLAGS_INIT
    "-stdlib++-isystem ${wslc_cxx_include} -stdlib++-isystem ${wslc_cxx_include}/x86_64-w64-mingw32 -stdlib++-isystem ${wslc_cxx_include}/backward")
# lld, as GNU ld warns on every link of std::thread that clang's and GCC's
# copies of one type-name string differ in size (the strings are the same).
# -pthread links winpthread, which this libstdc++ and libgcc are built on.
set(wslc_link_flags "-fuse-ld=lld -L${wslc_gcc_dir} -pthread")
set(CMAKE_EXE_LINKER_FLAGS_INIT    "${wslc_link_flags}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${wslc_link_flags}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${wslc_link_flags}")

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
