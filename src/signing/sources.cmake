# SHA-256, Ed25519 keys and the signed statement published beside the update list.
add_library(launcher_signing STATIC
  signing/hex_text.cpp
  signing/sha256.cpp
  signing/signed_statement.cpp
  signing/signing_keys.cpp
)
target_include_directories(launcher_signing PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(launcher_signing PUBLIC Sodium::Sodium)
