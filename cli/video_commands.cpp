#include "cli/video_commands.h"

#include <cstdio>
#include <filesystem>

#include "cli/build_progress.h"
#include "cli/collection_commands.h"
#include "collections/collection_registry.h"
#include "collections/video_build.h"
#include "collections/video_frames.h"
#include "collections/video_sources.h"

namespace tx::cli {
namespace {

constexpr char kUsage[] =
    "usage: tesserix-cli video add FILE...\n"
    "       tesserix-cli video list\n"
    "       tesserix-cli video delete KEY [--delete-file]\n\n"
    "Video sources are the video files video collections are made from; see\n"
    "'tesserix-cli collection add-video' and 'collection build-video'.\n";

const char* Reason(VideoFileResult result) {
  switch (result) {
    case VideoFileResult::Added:
      return "added";
    case VideoFileResult::AlreadyRegistered:
      return "already registered";
    case VideoFileResult::PathTooLong:
      return "the path is 200 bytes or longer";
    case VideoFileResult::NeedsQuickTime:
      return "MOV files cannot be read here";
    case VideoFileResult::UnknownType:
      return "not a video type we take";
    case VideoFileResult::NotFound:
      return "no such file";
    case VideoFileResult::Unreadable:
      return "no video that can be played";
    case VideoFileResult::RegistryFull:
      return "the list of video sources is full";
    case VideoFileResult::Busy:
      return "busy";
  }
  return "";
}

int Add(CollectionRegistry& registry, const Args& files) {
  std::vector<std::string> paths;
  for (const std::string& file : files) {
    // Sources keep full paths, so they stay valid wherever the tool runs.
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(file, ec);
    paths.push_back(ec ? file : absolute.lexically_normal().string());
  }
  VideoScreen screen = MakeVideoScreen(registry);
  const std::vector<VideoFileResult> results = AddVideoFiles(registry, screen, paths);
  bool refused = false;
  for (std::size_t i = 0; i < results.size(); ++i) {
    if (results[i] == VideoFileResult::Added) {
      const int index = registry.GetCollectionCount(kVideoSource) - 1;
      std::printf("%s\t%s\n", registry.GetCollectionKey(kVideoSource, index).c_str(),
                  paths[i].c_str());
    } else {
      std::fprintf(stderr, "tesserix-cli: %s: %s\n", paths[i].c_str(), Reason(results[i]));
      refused = true;
    }
  }
  if (!registry.SaveCollections()) return Fail("the collections could not be saved");
  return refused ? kExitFailure : kExitOk;
}

int List(CollectionRegistry& registry) {
  for (int i = 0; i < registry.GetCollectionCount(kVideoSource); ++i) {
    std::printf("%s\t%s\t%s\n", registry.GetCollectionKey(kVideoSource, i).c_str(),
                registry.GetCollectionName(kVideoSource, i).c_str(),
                registry.GetCollectionPath(kVideoSource, i).c_str());
  }
  return kExitOk;
}

// The index of the video source with key `key`, or -1.
int FindSource(CollectionRegistry& registry, const std::string& key) {
  for (int i = 0; i < registry.GetCollectionCount(kVideoSource); ++i) {
    if (registry.GetCollectionKey(kVideoSource, i) == key) return i;
  }
  return -1;
}

int Delete(CollectionRegistry& registry, const Args& args) {
  std::string key;
  bool deleteFile = false;
  for (const std::string& arg : args) {
    if (arg == "--delete-file") {
      deleteFile = true;
    } else if (key.empty()) {
      key = arg;
    } else {
      return Fail("unexpected argument \"" + arg + "\"");
    }
  }
  const int index = FindSource(registry, key);
  if (index < 0) return Fail("no video source with key \"" + key + "\"");
  VideoScreen screen = MakeVideoScreen(registry);
  DeleteVideoSources(registry, screen, {index}, deleteFile);
  if (!registry.SaveCollections()) return Fail("the collections could not be saved");
  return kExitOk;
}

}  // namespace

int RunVideoCommand(const Args& args) {
  if (std::optional<int> answered = AnswerUsage(args, kUsage)) return *answered;
  CollectionRegistry& registry = LoadedCollections();
  const std::string& command = args[0];
  Args rest(args.begin() + 1, args.end());
  if (command == "add" && !rest.empty()) return Add(registry, rest);
  if (command == "list" && rest.empty()) return List(registry);
  if (command == "delete" && !rest.empty()) return Delete(registry, rest);
  std::fputs(kUsage, stderr);
  return kExitFailure;
}

int AddVideoCollections(CollectionRegistry& registry, const Args& keys) {
  std::vector<int> selected;
  bool missing = false;
  for (const std::string& key : keys) {
    const int index = FindSource(registry, key);
    if (index < 0) {
      std::fprintf(stderr, "tesserix-cli: no video source \"%s\"\n", key.c_str());
      missing = true;
    } else {
      selected.push_back(index);
    }
  }
  VideoScreen screen = MakeVideoScreen(registry);
  AddSourcesToVideoCollections(registry, screen, selected);
  if (!registry.SaveCollections()) return Fail("the collections could not be saved");
  return missing ? kExitFailure : kExitOk;
}

int BuildVideoCollectionsCommand(CollectionRegistry& registry, const Args& args) {
  VideoScreen screen = MakeVideoScreen(registry);
  int interval = ReadFrameInterval();
  bool missing = false;
  bool named = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--keep-flat") {
      screen.skipFlatFrames = false;
    } else if (args[i] == "--interval" && i + 1 < args.size()) {
      std::optional<int> ms = ParseInt(args[++i]);
      if (!ms || *ms <= 0) return Fail("--interval takes milliseconds");
      interval = *ms;
    } else if (args[i].rfind("--", 0) == 0) {
      return Fail("unexpected argument \"" + args[i] + "\"");
    } else {
      named = true;
      const int index = registry.FindCollectionByTitle(kVideoCollection, args[i]);
      if (index < 0) {
        std::fprintf(stderr, "tesserix-cli: no video collection \"%s\"\n", args[i].c_str());
        missing = true;
      } else {
        screen.collections[std::size_t(index)].mark = kMarkBuild;
      }
    }
  }
  // Without titles, every video collection that was added but never built.
  if (!named) {
    for (std::size_t i = 0; i < screen.collections.size(); ++i) {
      std::error_code ec;
      std::filesystem::path index = registry.IndexFilePath(kVideoCollection, int(i));
      if (!index.empty() && !std::filesystem::exists(index, ec)) {
        screen.collections[i].mark = kMarkBuild;
      }
    }
  }
  VideoProgress progress;
  const VideoBuildCommandOutcome outcome =
      BuildVideoCollections(registry, screen, interval, BuildOptions::FromSettings(), &progress);
  if (outcome.withoutSource > 0) {
    std::fprintf(stderr, "tesserix-cli: %d video collections have no video source\n",
                 outcome.withoutSource);
  }
  if (outcome.cancelled) return Fail("cancelled");
  return missing || outcome.failed > 0 || outcome.withoutSource > 0 ? kExitFailure : kExitOk;
}

}  // namespace tx::cli
