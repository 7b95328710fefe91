# A cross build may use header-only libraries that the build machine has
# installed. Their folder cannot go on the include path as it is: it is the
# build machine's own /usr/include, whose C library headers would shadow the
# target's. So each library gets a folder of its own holding only a link to it.
include_guard(GLOBAL)

set(_zentaro_host_headers ${CMAKE_BINARY_DIR}/host-headers)

# nlohmann-json (Debian's nlohmann-json3-dev), as the target its own package names.
find_path(ZENTARO_HOST_NLOHMANN_JSON nlohmann/json.hpp
    PATHS /usr/include /usr/local/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT ZENTARO_HOST_NLOHMANN_JSON)
    message(FATAL_ERROR "nlohmann/json.hpp not found on the build machine (nlohmann-json3-dev)")
endif()
file(MAKE_DIRECTORY ${_zentaro_host_headers}/nlohmann_json)
file(CREATE_LINK ${ZENTARO_HOST_NLOHMANN_JSON}/nlohmann
    ${_zentaro_host_headers}/nlohmann_json/nlohmann SYMBOLIC)
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED GLOBAL)
set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES ${_zentaro_host_headers}/nlohmann_json)
