# Third-party libraries, all from Debian packages (scripts/install-deps.sh installs them).

find_package(Threads REQUIRED)

add_library(orb_rapidjson INTERFACE)
if(WIN32)
  # The cross build reads Debian's headers through the prefix of the toolchain file, which holds
  # nothing else of the build machine; RapidJSON's package file would point at /usr/include.
  find_path(RAPIDJSON_INCLUDE_DIR rapidjson/document.h REQUIRED)
  target_include_directories(orb_rapidjson SYSTEM INTERFACE ${RAPIDJSON_INCLUDE_DIR})
else()
  find_package(RapidJSON CONFIG REQUIRED)
  target_include_directories(orb_rapidjson SYSTEM INTERFACE ${RapidJSON_INCLUDE_DIRS} ${RAPIDJSON_INCLUDE_DIRS})
endif()

find_path(LIBYAML_INCLUDE_DIR yaml.h REQUIRED)
find_library(LIBYAML_LIBRARY NAMES yaml REQUIRED)
add_library(orb_libyaml INTERFACE)
target_include_directories(orb_libyaml SYSTEM INTERFACE ${LIBYAML_INCLUDE_DIR})
target_link_libraries(orb_libyaml INTERFACE ${LIBYAML_LIBRARY})
if(WIN32)
  # The Windows libyaml is a static library: its declarations must not ask for a DLL import.
  target_compile_definitions(orb_libyaml INTERFACE YAML_DECLARE_STATIC)
endif()

if(ORB_BUILD_TESTS)
  find_package(GTest CONFIG REQUIRED)
  include(GoogleTest)
  # A cross-built test program runs only under the emulator, so its tests are listed when ctest
  # runs rather than right after each link.
  if(CMAKE_CROSSCOMPILING)
    set(ORB_TEST_DISCOVERY_MODE PRE_TEST)
  else()
    set(ORB_TEST_DISCOVERY_MODE POST_BUILD)
  endif()
endif()

# The 32-bit presets leave the benchmarks off; configured with -DORB_BUILD_BENCH=ON they are built
# where the 32-bit Google Benchmark is installed (libbenchmark-dev:i386).
if(ORB_BUILD_BENCH)
  find_package(benchmark CONFIG QUIET)
  # Peer libraries that the benchmarks compare against; optional, never needed by the tests.
  find_package(nlohmann_json CONFIG QUIET)
  find_package(msgpack-cxx CONFIG QUIET)
  find_package(yaml-cpp CONFIG QUIET)
endif()

# The developer host serves HTTP with cpp-httplib (header-only); the Windows build has no server.
if(NOT WIN32)
  find_path(HTTPLIB_INCLUDE_DIR httplib.h)
endif()
