# Third-party libraries, all from Debian packages (scripts/install-deps.sh installs them).

find_package(Threads REQUIRED)

find_package(RapidJSON CONFIG REQUIRED)
add_library(orb_rapidjson INTERFACE)
target_include_directories(orb_rapidjson SYSTEM INTERFACE ${RapidJSON_INCLUDE_DIRS} ${RAPIDJSON_INCLUDE_DIRS})

find_path(LIBYAML_INCLUDE_DIR yaml.h REQUIRED)
find_library(LIBYAML_LIBRARY NAMES yaml REQUIRED)
add_library(orb_libyaml INTERFACE)
target_include_directories(orb_libyaml SYSTEM INTERFACE ${LIBYAML_INCLUDE_DIR})
target_link_libraries(orb_libyaml INTERFACE ${LIBYAML_LIBRARY})

if(ORB_BUILD_TESTS)
  find_package(GTest CONFIG REQUIRED)
  include(GoogleTest)
endif()

if(ORB_BUILD_BENCH AND NOT ORB_32BIT)
  find_package(benchmark CONFIG QUIET)
  # Peer libraries that the benchmarks compare against; optional, never needed by the tests.
  find_package(nlohmann_json CONFIG QUIET)
  find_package(msgpack-cxx CONFIG QUIET)
  find_package(yaml-cpp CONFIG QUIET)
endif()

# The developer host serves HTTP with cpp-httplib (header-only).
find_path(HTTPLIB_INCLUDE_DIR httplib.h)
