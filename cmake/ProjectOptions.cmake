# Compiler settings shared by every target of our own.

# orb_target_defaults(<target>): warnings as errors and the repository root as include root.
function(orb_target_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Wnon-virtual-dtor -Wold-style-cast -Wconversion -Werror)
  # Under clang -Wconversion also covers sign changes, which GCC leaves to -Wsign-conversion; the
  # code is held to GCC's set.
  if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    target_compile_options(${target} PRIVATE -Wno-sign-conversion)
  endif()
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()

# orb_sdk_library(<target> [LINK <libs>...]): a static library of every .cpp in the current
# folder, with the platform-specific sources left to sdk/platform.
function(orb_sdk_library target)
  cmake_parse_arguments(ARG "" "" "LINK" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  list(FILTER sources EXCLUDE REGEX "_test\\.cpp$")
  if(sources)
    add_library(${target} STATIC ${sources})
    orb_target_defaults(${target})
    target_link_libraries(${target} PUBLIC ${ARG_LINK})
  else()
    # Nothing compiled here yet: headers only.
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${target} INTERFACE ${ARG_LINK})
  endif()
endfunction()

# 32-bit builds check the exact record layouts of the 32-bit host.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(ORB_32BIT ON)
else()
  set(ORB_32BIT OFF)
endif()
