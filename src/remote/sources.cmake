# The configuration service's scheme and host (optionally a port), built into the launcher so
# that an operator brands it at build time; the end-to-end tests point it at their loopback
# server.
set(CONFIG_SERVICE_BASE "https://config.example.invalid" CACHE STRING
    "Scheme and host of the configuration service, without a trailing slash")

# The document decides where the game connects, so where players type their passwords: over
# plain HTTP anyone on a player's network could answer in the service's place. A service on this
# computer's loopback (the tests') crosses no network.
if(CMAKE_BUILD_TYPE STREQUAL "Release" AND NOT CONFIG_SERVICE_BASE MATCHES "^https://"
   AND NOT CONFIG_SERVICE_BASE MATCHES "^http://(127\\.0\\.0\\.1|localhost)(:[0-9]+)?$")
  message(WARNING "CONFIG_SERVICE_BASE is \"${CONFIG_SERVICE_BASE}\", not an https:// address: the service's "
                  "answer names the game server that players' logins go to, and over plain HTTP anyone on a "
                  "player's network can answer in its place. Use https:// for launchers you ship.")
endif()

target_sources(launcher_core PRIVATE
  remote/activity_log.cpp
  remote/client_token.cpp
  remote/config_document.cpp
  remote/config_service.cpp
  remote/internet_failure_text.cpp
  remote/jpeg_picture.cpp
  remote/kept_config.cpp
  remote/picture_limits.cpp
  remote/png_picture.cpp
  remote/server_logo.cpp
  remote/web_retrieval.cpp
)


# RapidJSON 1.1.0 adds an offset to the null pointer of a stack not yet allocated (fixed after
# that release, Tencent/rapidjson#1724); harmless, but clang's sanitizer stops on it.
if(LAUNCHER_SANITIZE AND CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  set_property(SOURCE remote/config_document.cpp APPEND PROPERTY COMPILE_OPTIONS -fno-sanitize=pointer-overflow)
endif()
