include("${CMAKE_CURRENT_LIST_DIR}/HeaderOnly.cmake")
lunavio_header_only_package(nlohmann_json::nlohmann_json /usr/include/nlohmann)
