// Unpacking a package into a file, with the file bar following the package's consumption.
#include <stdexcept>
#include <vector>

#include "updater/bz_stream.h"
#include "updater/crc32.h"
#include "updater/files_thread.h"
#include "updater/package_unpacker.h"
#include "updater/scoped_removal.h"

// The target is flushed before it is checked, so that the rename that puts it in place never
// publishes data that is not yet on disk.
void GFilesThread::ExtractFile(const std::string& Archive, const std::string& Target, uint32_t ExpectedCrc) {
  ScopedRemoval remove_archive(Archive);
  TFileStream source(platform::File::OpenRead(Archive));
  ScopedRemoval remove_target(Target);
  uint32_t crc = 0;
  {
    TFileStream dest(platform::File::Create(Target));
    crc = Decompress(source, dest);
    dest.File().Flush();
  }
  if (crc != ExpectedCrc) throw std::runtime_error("\"" + Target + "\" does not match the list's checksum");
  remove_target.Keep();
}

// The bar shows how far the package has been consumed, against its size as the maximum, as
// when the whole package is unpacked after its download.
void GFilesThread::FinishUnpacking(PackageUnpacker& unpacker, uint64_t package_size, uint32_t expected_crc) {
  LTemp = static_cast<uint32_t>(package_size);
  CSwitch = 0;
  Synchronize(&GFilesThread::SetBarRange);
  uint32_t crc = 0;
  try {
    crc = unpacker.Finish([this](uint64_t consumed) {
      LTemp = static_cast<uint32_t>(consumed);
      Synchronize(&GFilesThread::SetFilePosition);
    });
  } catch (...) {
    LTemp = 0;
    Synchronize(&GFilesThread::SetFilePosition);
    throw;
  }
  LTemp = 0;
  Synchronize(&GFilesThread::SetFilePosition);
  if (crc != expected_crc) throw std::runtime_error("The unpacked file does not match the list's checksum");
}

uint32_t GFilesThread::Decompress(TStream& Source, TStream& Dest) {
  FSource = &Source;
  LTemp = static_cast<uint32_t>(Source.Size());
  CSwitch = 0;
  Synchronize(&GFilesThread::SetBarRange);
  uint32_t crc = 0;
  try {
    crc = CopyUnpacked(Source, Dest);
  } catch (...) {
    FSource = nullptr;
    LTemp = 0;
    Synchronize(&GFilesThread::SetFilePosition);
    throw;
  }
  FSource = nullptr;
  LTemp = 0;
  Synchronize(&GFilesThread::SetFilePosition);
  return crc;
}

uint32_t GFilesThread::CopyUnpacked(TStream& source, TStream& dest) {
  TBZDecompressionStream stream(source);
  stream.OnProgress = [this](TBZDecompressionStream& sender) { ExtractProgress(sender); };
  std::vector<char> buffer(65536);
  uint32_t crc = 0;
  uint64_t written = 0;
  while (size_t got = stream.Read(buffer.data(), buffer.size())) {
    written += got;
    if (written > system_.max_unpacked_size) throw std::runtime_error("The package unpacks to more than a game file may hold");
    dest.Write(buffer.data(), got);
    crc = Crc32(crc, buffer.data(), got);
  }
  return crc;
}

// The bar shows how far the package has been consumed, against its size as the maximum.
void GFilesThread::ExtractProgress(TBZDecompressionStream&) {
  LTemp = static_cast<uint32_t>(FSource->Position());
  Synchronize(&GFilesThread::SetFilePosition);
}
