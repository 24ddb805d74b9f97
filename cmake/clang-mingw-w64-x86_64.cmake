# The second compiler: clang for 64-bit Windows, on the MinGW-w64 headers and libraries and
# GCC's C++ library (Debian's clang brings no C++ library or runtime of its own for this target).
# The GCC toolchain's settings, with clang compiling; GCC's driver links, since it knows where
# its runtime and thread libraries go on the line.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-x86_64.cmake)
set(CMAKE_C_COMPILER clang)
set(CMAKE_C_COMPILER_TARGET ${TOOLCHAIN_PREFIX})
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_CXX_COMPILER_TARGET ${TOOLCHAIN_PREFIX})
execute_process(COMMAND ${TOOLCHAIN_PREFIX}-g++-posix -print-libgcc-file-name
                OUTPUT_VARIABLE gcc_libgcc OUTPUT_STRIP_TRAILING_WHITESPACE)
get_filename_component(gcc_dir ${gcc_libgcc} DIRECTORY)
set(CMAKE_CXX_FLAGS_INIT "-nostdinc++ -isystem ${gcc_dir}/include/c++ -isystem ${gcc_dir}/include/c++/${TOOLCHAIN_PREFIX} -isystem ${gcc_dir}/include/c++/backward")
set(CMAKE_CXX_LINK_EXECUTABLE "${TOOLCHAIN_PREFIX}-g++-posix <CMAKE_CXX_LINK_FLAGS> <LINK_FLAGS> <OBJECTS> -o <TARGET> <LINK_LIBRARIES>")
set(CMAKE_C_LINK_EXECUTABLE "${TOOLCHAIN_PREFIX}-gcc-posix <CMAKE_C_LINK_FLAGS> <LINK_FLAGS> <OBJECTS> -o <TARGET> <LINK_LIBRARIES>")
