# libFuzzer needs coverage of the readers themselves, not only of the entry points: each target
# compiles the sources it exercises rather than taking them uninstrumented from the libraries.
set(remote_sources ${PROJECT_SOURCE_DIR}/src/remote)
set(platform_sources ${PROJECT_SOURCE_DIR}/src/platform)

add_fuzz_target(config_document_fuzz remote/config_document_fuzz.cpp ${remote_sources}/config_document.cpp)
target_link_libraries(config_document_fuzz PRIVATE launcher_core)
# RapidJSON 1.1.0 adds an offset to the null pointer of a stack not yet allocated (fixed after
# that release, Tencent/rapidjson#1724); harmless, but clang's sanitizer stops on it.
target_compile_options(config_document_fuzz PRIVATE -fno-sanitize=pointer-overflow)

add_fuzz_target(profile_text_fuzz remote/profile_text_fuzz.cpp ${platform_sources}/posix/profile_posix.cpp)
target_link_libraries(profile_text_fuzz PRIVATE launcher_core)

add_fuzz_target(logo_decode_fuzz remote/logo_decode_fuzz.cpp ${remote_sources}/png_picture.cpp
                ${remote_sources}/jpeg_picture.cpp ${remote_sources}/picture_limits.cpp)
target_link_libraries(logo_decode_fuzz PRIVATE launcher_core)
