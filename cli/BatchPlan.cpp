#include "cli/BatchPlan.h"

#include <algorithm>
#include <map>

#include "cli/PathStatus.h"
#include "engine/Files.h"

namespace rowvane::cli {
namespace {

std::string FolderFor(const std::string& outputFolder, const std::string& subFolder) {
  if (subFolder.empty()) {
    return outputFolder;
  }
  const bool endsWithSeparator = !outputFolder.empty() && outputFolder.back() == kPathSeparator;
  return outputFolder + (endsWithSeparator ? "" : "/") + subFolder;
}

std::string CollisionLine(const std::string& loser, const std::string& winner,
                          const std::string& output) {
  return "rowvane-cli: warning: " + loser + " and " + winner + " both give " + output +
         "; the later, " + winner + ", replaces the other";
}

std::string KeptFirstReason(const std::string& kept, const std::string& output) {
  return kept + " also gives " + output + ", and -n keeps the first";
}

std::string ReplacedReason(const std::string& winner) {
  return "replaced by " + winner;
}

std::string ExistsReason(const std::string& output) {
  return output + " exists, and -n keeps it";
}

// The output's path below the output folder, as the shards hash it: the same
// bytes whichever way the folder was typed.
std::string RelativeOutputPath(const std::string& subFolder, const OutputName& output) {
  const std::string name = FileNameOf(output.path);
  return subFolder.empty() ? name : subFolder + kPathSeparator + name;
}

// Named after the input without ".gz" when it is decompressed, with ".gz"
// added when the output is compressed.
OutputName OutputFor(const std::string& input, const std::string& folder,
                     const ConversionSettings& settings) {
  std::string_view named = input;
  if (settings.GunzipInputsByName && HasGzipSuffix(named)) {
    named.remove_suffix(kGzipSuffix.size());
  }
  OutputName output = OutputPathFor(named, folder);
  if (settings.GzipLevel) {
    output.path += kGzipSuffix;
  }
  return output;
}

}  // namespace

std::string RefusalLine(const Refusal& refusal) {
  return "rowvane-cli: " + refusal.file.input + ": not converted: " + refusal.reason;
}

BatchPlan PlanOutputs(const GatheredInputs& gathered, const CliOptions& options) {
  const std::string& outputFolder = options.outputFolder;
  std::vector<BatchFile> all;
  BatchPlan plan;
  for (std::size_t i = 0; i < gathered.files.size(); ++i) {
    const std::string subFolder = options.keepTree ? gathered.subFolders[i] : std::string();
    const std::string folder = FolderFor(outputFolder, subFolder);
    OutputName output = OutputFor(gathered.files[i], folder, options.settings);
    if (options.shard && !options.shard->takes(RelativeOutputPath(subFolder, output))) {
      continue;
    }
    all.push_back({gathered.files[i], std::move(output)});
    if (!subFolder.empty() && std::find(plan.subFolders.begin(), plan.subFolders.end(), folder) ==
                                  plan.subFolders.end()) {
      plan.subFolders.push_back(folder);
    }
  }
  // The inputs of each output, in list order.
  std::map<std::string, std::vector<std::size_t>> inputsOf;
  for (std::size_t i = 0; i < all.size(); ++i) {
    inputsOf[all[i].output.path].push_back(i);
  }
  std::vector<bool> refused(all.size(), false);
  for (std::size_t i = 0; i < all.size(); ++i) {
    const std::vector<std::size_t>& sharing = inputsOf[all[i].output.path];
    const std::string& output = all[i].output.path;
    if (options.update && !options.noClobber && sharing.size() > 1 && i != sharing.back()) {
      plan.collisionWarnings.push_back(
          CollisionLine(all[i].input, all[sharing.back()].input, output));
      plan.leftAlone.push_back({all[i], ReplacedReason(all[sharing.back()].input)});
      refused[i] = true;
    } else if (options.update && sharing.size() == 1 && IsUpToDate(all[i].input, output)) {
      plan.leftAlone.push_back({all[i], std::string(kUpToDate)});
      refused[i] = true;
    } else if (options.noClobber) {
      if (PathIsTaken(output)) {
        plan.refusals.push_back({all[i], ExistsReason(output)});
        refused[i] = true;
      } else if (i != sharing.front()) {
        plan.refusals.push_back({all[i], KeptFirstReason(all[sharing.front()].input, output)});
        refused[i] = true;
      }
    } else if (sharing.size() > 1 && i != sharing.back()) {
      plan.collisionWarnings.push_back(
          CollisionLine(all[i].input, all[sharing.back()].input, output));
    }
  }
  for (std::size_t i = 0; i < all.size(); ++i) {
    if (!refused[i]) {
      plan.files.push_back(std::move(all[i]));
    }
  }
  return plan;
}

}  // namespace rowvane::cli
