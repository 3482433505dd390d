# Fails when a tracked C++ source is not laid out as .clang-format says (`make format` fixes it).
#   cmake -DROOT=<source root> -DCLANG_FORMAT=<clang-format> -P check_format.cmake
file(GLOB_RECURSE sources RELATIVE ${ROOT} ${ROOT}/sdk/*.h ${ROOT}/sdk/*.cpp ${ROOT}/plugins/*.h ${ROOT}/plugins/*.cpp
     ${ROOT}/devhost/*.h ${ROOT}/devhost/*.cpp ${ROOT}/tests/*.h ${ROOT}/tests/*.cpp ${ROOT}/bench/*.cpp
     ${ROOT}/fuzz/*.h ${ROOT}/fuzz/*.cpp)
list(FILTER sources EXCLUDE REGEX "node_modules/")
execute_process(COMMAND ${CLANG_FORMAT} --dry-run --Werror ${sources} WORKING_DIRECTORY ${ROOT}
                RESULT_VARIABLE failed ERROR_VARIABLE report)
if(failed)
  message(FATAL_ERROR "Sources not formatted (run make format):\n${report}")
endif()
