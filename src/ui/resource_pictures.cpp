#include "ui/resource_pictures.h"

#include <span>

#include "remote/picture_decoders.h"

namespace {

std::span<const uint8_t> ResourceBytes(HINSTANCE instance, const wchar_t* name) {
  HRSRC resource = FindResourceW(instance, name, RT_RCDATA);
  HGLOBAL loaded = resource ? LoadResource(instance, resource) : nullptr;
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data) return {};
  return {static_cast<const uint8_t*>(data), SizeofResource(instance, resource)};
}

Picture Load(HINSTANCE instance, const wchar_t* name, Picture (*decode)(std::span<const uint8_t>)) {
  auto bytes = ResourceBytes(instance, name);
  if (bytes.empty()) return {};
  try {
    return decode(bytes);
  } catch (const PictureError&) {
    return {};
  }
}

}  // namespace

Picture LoadJpegResource(HINSTANCE instance, const wchar_t* name) { return Load(instance, name, DecodeJpeg); }

Picture LoadPngResource(HINSTANCE instance, const wchar_t* name) { return Load(instance, name, DecodePng); }
