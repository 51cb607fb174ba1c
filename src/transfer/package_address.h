#pragma once
#include <string>
#include <string_view>

// The address of a listed file's package on the update site. The path part is sent as UTF-8,
// percent-encoded octet by octet, whatever the internet layer would do by itself: web servers
// store file names in UTF-8, and a raw code-page byte or an unescaped "#", "?" or "%" in an
// address names another file or none.

// A list path ("\" or "/" between folders, UTF-8) as the path part of an address: "/" between
// folders; letters, digits, "-", ".", "_" and "~" as they are; every other octet as %XX.
std::string EncodeAddressPath(std::string_view path);

// update_url ends with "/"; it is used as the operator wrote it.
std::string PackageAddress(const std::string& update_url, std::string_view path);
