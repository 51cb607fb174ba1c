# The configuration service's scheme and host (optionally a port), built into the launcher so
# that an operator brands it at build time; the end-to-end tests point it at their loopback
# server.
set(CONFIG_SERVICE_BASE "https://config.example.invalid" CACHE STRING
    "Scheme and host of the configuration service, without a trailing slash")

target_sources(launcher_core PRIVATE
  remote/activity_log.cpp
  remote/client_token.cpp
  remote/config_document.cpp
  remote/config_service.cpp
  remote/jpeg_picture.cpp
  remote/picture_limits.cpp
  remote/png_picture.cpp
  remote/server_logo.cpp
  remote/web_retrieval.cpp
)
set_property(SOURCE remote/config_service.cpp APPEND PROPERTY
             COMPILE_DEFINITIONS "LAUNCHER_CONFIG_SERVICE_BASE=\"${CONFIG_SERVICE_BASE}\"")


# RapidJSON 1.1.0 adds an offset to the null pointer of a stack not yet allocated (fixed after
# that release, Tencent/rapidjson#1724); harmless, but clang's sanitizer stops on it.
if(LAUNCHER_SANITIZE AND CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  set_property(SOURCE remote/config_document.cpp APPEND PROPERTY COMPILE_OPTIONS -fno-sanitize=pointer-overflow)
endif()
