include("${CMAKE_CURRENT_LIST_DIR}/HeaderOnly.cmake")
lunavio_header_only_package(CLI11::CLI11 /usr/include/CLI)
