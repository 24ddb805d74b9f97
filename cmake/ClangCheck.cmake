# The second compiler's warning check: clang for the same target (Debian's clang with the
# MinGW-w64 headers and GCC's C++ library headers) reads every source of the program and the
# library with -Wall -Wextra, warnings as errors while SORANOTE_WERROR is on. It only parses
# (-fsyntax-only: clang gives its warnings while parsing, and code generation would double the
# build); scripts/clang-build.sh builds and tests with clang in full.
#   clang_check_sources(<sources>...)  one check per source, part of the default build
find_program(SORANOTE_CLANGXX clang++ REQUIRED)

# GCC's C++ headers for this target, which Debian's clang does not look for by itself.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-libgcc-file-name
                OUTPUT_VARIABLE gcc_libgcc OUTPUT_STRIP_TRAILING_WHITESPACE)
get_filename_component(gcc_dir ${gcc_libgcc} DIRECTORY)
set(SORANOTE_CLANG_FLAGS --target=x86_64-w64-mingw32 -std=c++20 -Wall -Wextra -finput-charset=UTF-8
    -nostdinc++ -isystem ${gcc_dir}/include/c++ -isystem ${gcc_dir}/include/c++/x86_64-w64-mingw32
    -isystem ${gcc_dir}/include/c++/backward)
if(SORANOTE_WERROR)
  list(APPEND SORANOTE_CLANG_FLAGS -Werror)
endif()

function(clang_check_sources)
  get_directory_property(definitions DIRECTORY ${CMAKE_SOURCE_DIR} COMPILE_DEFINITIONS)
  list(TRANSFORM definitions PREPEND -D)
  set(includes -I${CMAKE_SOURCE_DIR} -I${CMAKE_BINARY_DIR}/resources -isystem ${libjpeg_dir}/include)
  set(stamps "")
  foreach(source ${ARGN})
    file(RELATIVE_PATH name ${CMAKE_SOURCE_DIR} ${source})
    set(stamp ${CMAKE_BINARY_DIR}/clang-check/${name}.ok)
    get_filename_component(stamp_dir ${stamp} DIRECTORY)
    add_custom_command(OUTPUT ${stamp}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${stamp_dir}
      COMMAND ${SORANOTE_CLANGXX} ${SORANOTE_CLANG_FLAGS} ${definitions} ${includes} -fsyntax-only
              -MD -MF ${stamp}.d -MT ${stamp} ${source}
      COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
      DEPENDS ${source} DEPFILE ${stamp}.d
      COMMENT "clang: checking ${name}" VERBATIM)
    list(APPEND stamps ${stamp})
  endforeach()
  add_custom_target(clang_check ALL DEPENDS ${stamps})
  add_dependencies(clang_check generated_resources)
endfunction()
