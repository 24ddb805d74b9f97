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
# GCC predefines for this target how type_info compares (out of line, by name); clang does not,
# and would otherwise inline a comparison that GCC's libstdc++ also defines.
set(CMAKE_CXX_FLAGS_INIT "-D__GXX_TYPEINFO_EQUALITY_INLINE=0 -D__GXX_MERGED_TYPEINFO_NAMES=0 -nostdinc++ -isystem ${gcc_dir}/include/c++ -isystem ${gcc_dir}/include/c++/${TOOLCHAIN_PREFIX} -isystem ${gcc_dir}/include/c++/backward")
# The link rules must be set after CMake's platform files, which write their own (clang's driver
# on the line); the override file is read after them, in the project and in its compiler checks.
set(SORANOTE_GCC_LINKER_PREFIX ${TOOLCHAIN_PREFIX})
set(CMAKE_USER_MAKE_RULES_OVERRIDE ${CMAKE_CURRENT_LIST_DIR}/clang-link-rules.cmake)
