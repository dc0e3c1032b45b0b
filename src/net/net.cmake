# The HTTP client on POSIX sockets and the internet ranking registration.
# Headless: the core tools and the game link it.
set(QUADREL_RANKING_HOST "localhost" CACHE STRING
    "Host of the internet ranking server, optionally with :port")
add_library(quadrel_net STATIC
  net/Http.cpp
  net/Registration.cpp
)
target_link_libraries(quadrel_net PUBLIC quadrel_core)
set_source_files_properties(net/Registration.cpp PROPERTIES
  COMPILE_DEFINITIONS "QUADREL_RANKING_HOST=\"${QUADREL_RANKING_HOST}\"")
