// Outdated game files rebuilt from the deltas the site publishes between versions, instead of
// their whole packages; whatever fails on the way leaves the package to do it.
#include <new>
#include <stdexcept>

#include "common/language.h"
#include "common/scoped_removal.h"
#include "crc32/crc32.h"
#include "delta/delta_codec.h"
#include "platform/errors.h"
#include "remote/internet_failure_text.h"
#include "signing/sha256.h"
#include "transfer/package_address.h"
#include "updater/delta_files.h"
#include "updater/files_thread.h"
#include "updater/updater_state.h"
#include "updater/updater_texts.h"
#include "updater/whole_answer.h"

namespace {

// An index names each delta in about a hundred bytes.
constexpr uint64_t kLargestDeltaIndex = uint64_t{16} << 20;

// A delta or a game file read whole into memory.
FileContent ReadWhole(const std::string& path, uint64_t largest) {
  platform::File file = platform::File::OpenRead(path);
  const int64_t size = file.Size();
  if (size < 0 || static_cast<uint64_t>(size) > largest) throw std::length_error("\"" + path + "\" is too large");
  FileContent content(static_cast<size_t>(size));
  size_t at = 0;
  while (at < content.size()) {
    const size_t got = file.Read(content.data() + at, content.size() - at);
    if (got == 0) throw std::runtime_error("\"" + path + "\" is shorter than its size");
    at += got;
  }
  return content;
}

void WriteWhole(const std::string& path, const FileContent& content) {
  platform::File file = platform::File::Create(path);
  file.Write(content.data(), content.size());
  file.Flush();
}

}  // namespace

// A site without deltas answers 404 and a launcher says nothing of it; an index that cannot be
// taken is logged once, and every entry takes its package.
std::vector<DeltaEntry> GFilesThread::FetchDeltaIndex() {
  if (local_crcs_.empty()) return {};
  const PackageDigest* vouched = nullptr;
  if (statement_) {
    auto found = statement_->packages.find(DeltaIndexFileName);
    if (found == statement_->packages.end()) return {};
    vouched = &found->second;
  }
  const std::string url = UUrl + DeltaIndexFileName;
  const WholeAnswer answer =
      FetchWholeAnswer(url, system_.receive_timeout_ms, vouched ? vouched->size : kLargestDeltaIndex);
  if (answer.not_connected) LogNotConnected(url, *answer.not_connected);
  if (answer.status == 404 || answer.not_connected) return {};
  std::string why;
  std::optional<std::vector<DeltaEntry>> index;
  if (!answer.body) {
    why = "resposta " + std::to_string(answer.status);
  } else if (vouched && (answer.body->size() != vouched->size ||
                         Sha256Of(*answer.body) != vouched->sha256)) {
    why = "não confere com a declaração assinada";
  } else if (!(index = ReadDeltaIndex(*answer.body))) {
    why = "ilegível";
  }
  if (!index) {
    Log("Índice de deltas ignorado (" + why + "): " + url);
    return {};
  }
  return std::move(*index);
}

// A chain is taken only when it costs fewer bytes than the package, stays short, starts from a
// file small enough to be held in memory with its next version, and (on a signed site) every
// delta of it is vouched for with the size the index gives.
void GFilesThread::PlanDeltas(PlannedEntry& planned, uint32_t package_size, std::vector<FetchOrder>& orders,
                              const std::vector<DeltaEntry>& deltas) const {
  auto local = local_crcs_.find(planned.path);
  if (deltas.empty() || local == local_crcs_.end()) return;
  std::optional<std::vector<DeltaEntry>> chain =
      FindDeltaChain(deltas, planned.path, local->second, planned.crc, package_size);
  if (!chain || chain->size() > kLongestDeltaChain) return;
  const std::string target = Dir + planned.path;
  try {
    if (static_cast<uint64_t>(platform::File::OpenRead(target).Size()) > kLargestDeltaFile) return;
  } catch (const std::exception&) {
    return;
  }
  std::vector<const PackageDigest*> vouched;
  for (const DeltaEntry& delta : *chain) {
    if (delta.result_size > kLargestDeltaFile) return;
    if (!statement_) {
      vouched.push_back(nullptr);
      continue;
    }
    auto found = statement_->packages.find(delta.location);
    if (found == statement_->packages.end() || found->second.size != delta.size) return;
    vouched.push_back(&found->second);
  }
  for (size_t step = 0; step < chain->size(); ++step) {
    const DeltaEntry& delta = (*chain)[step];
    planned.deltas.push_back({.delta = delta, .order = orders.size()});
    orders.push_back(FetchOrder{.url = UUrl + EncodeAddressPath(delta.location),
                                .package = DeltaFileName(target, step + 1),
                                .signed_package = vouched[step],
                                .expected_size = delta.size,
                                .unpacked_size = delta.result_size,
                                .largest = delta.size});
  }
}

GFilesThread::DeltaOutcome GFilesThread::InstallThroughDeltas(const PlannedEntry& entry, PackageFetcher& fetcher,
                                                              std::string& why_not) {
  FileInDown = entry.path;
  Synchronize(&GFilesThread::ShowStatus);
  uint64_t chain_bytes = 0;
  for (const DeltaStep& step : entry.deltas) chain_bytes += step.delta.size;
  CSwitch = 0;
  LTemp = static_cast<uint32_t>(chain_bytes);
  Aux = std::to_string(chain_bytes);
  Synchronize(&GFilesThread::SetBarRange);
  const std::string target = Dir + entry.path, unpacked = target + ".new";
  try {
    fetcher.MakeFolderOf(target);
    std::vector<FileContent> deltas;
    uint64_t before = 0;
    for (size_t step = 0; step < entry.deltas.size(); ++step) {
      const DeltaStep& planned = entry.deltas[step];
      const std::string file = DeltaFileName(target, step + 1);
      ScopedRemoval remove_delta(file);
      IgnoringSink sink;
      const TransferOutcome transfer = fetcher.Follow(planned.order, sink, [&](uint64_t received) {
        LTemp = static_cast<uint32_t>(before + received);
        FDownloadStartTick = fetcher.FirstAnswerTick().value_or(FDownloadStartTick);
        RateBytes = fetcher.TotalReceived();
        Synchronize(&GFilesThread::ShowDownloadProgress);
      });
      switch (transfer) {
        case TransferOutcome::Complete: break;
        case TransferOutcome::Cancelled: return DeltaOutcome::Cancelled;
        case TransferOutcome::NotTheSignedPackage:
          why_not = planned.delta.location + " não confere com a declaração assinada";
          return DeltaOutcome::UsePackage;
        case TransferOutcome::Failed:
          why_not = "falha ao baixar " + planned.delta.location;
          if (auto failure = fetcher.ConnectionFailureOf(planned.order)) why_not += ": " + InternetFailureText(*failure);
          return DeltaOutcome::UsePackage;
      }
      deltas.push_back(ReadWhole(file, planned.delta.size));
      if (deltas.back().size() != planned.delta.size) {
        why_not = planned.delta.location + " não tem o tamanho do índice";
        return DeltaOutcome::UsePackage;
      }
      before += planned.delta.size;
    }
    LTemp = 0;
    Synchronize(&GFilesThread::ShowDownloadProgress);
    Synchronize(&GFilesThread::ClearDetail);
    StatusText = PickText(updater_texts::Extracting(entry.path));
    Synchronize(&GFilesThread::ShowStatus);

    // Each version is let go as soon as the next one is made: the peak holds two of them.
    FileContent content = ReadWhole(target, kLargestDeltaFile);
    for (size_t step = 0; step < entry.deltas.size(); ++step) {
      content = ApplyDelta(content.view(), deltas[step].view(), entry.deltas[step].delta.result_size);
      deltas[step] = FileContent();
    }
    if (Crc32(0, content.data(), content.size()) != entry.crc) {
      why_not = "o resultado não confere com o CRC da lista";
      return DeltaOutcome::UsePackage;
    }
    ScopedRemoval remove_unpacked(unpacked);
    WriteWhole(unpacked, content);
    content = FileContent();
    PutInPlace(unpacked, target, entry.path == LauncherExeName);
    return DeltaOutcome::Installed;
  } catch (const DeltaError& error) {
    why_not = std::string("delta danificado: ") + error.what();
  } catch (const std::bad_alloc&) {
    why_not = "memória insuficiente";
  } catch (const std::exception& error) {
    why_not = error.what();
  }
  return DeltaOutcome::UsePackage;
}
