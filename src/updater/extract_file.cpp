// The end of a package's unpacking, with the file bar following the package's consumption.
#include <stdexcept>

#include "transfer/package_unpacker.h"
#include "updater/files_thread.h"

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
