// A montage far larger than the machine's memory is refused with the
// not-enough-memory message before the montage is allocated.
//
// The shipped settings keep every montage a user can ask for under
// OutputSizeLimit, far below any machine's memory; here the settings file's
// switches are raised past that (a huge output scale, no size limit), as a
// hand-edited settings file could.

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <climits>
#include <memory>

#include "collections/collection_registry.h"
#include "collections/tile_set_index.h"
#include "config/settings_access.h"
#include "config/startup_settings.h"
#include "montage/montage_driver.h"
#include "platform/global_memory.h"
#include "rastio/rastio.h"
#include "resources/messages.h"
#include "resources/resource_binding.h"
#include "tests/faults/fault_support.h"
#include "tests/support/recording_notice_sink.h"
#include "tests/support/test_images.h"

namespace tx {
namespace {

using namespace faults;
using testing::TempDir;

long PeakRssKiB() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

class MontageMemory : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(BindResourceLibrary(TESSERIX_BIN_DIR, "Res_TX", error)) << error;
    SetStartupSettings(StartupSettings{});
    m_registry = std::make_unique<CollectionRegistry>(m_configuration, m_dir / "U", m_dir / "P");
    m_registry->PrepareCollectionFolders();
    m_engine = std::make_unique<MontageEngine>(*m_registry);

    // Sixteen tiles of graded grays; no pictures are needed, as nothing is
    // drawn.
    TileSetIndexWriter writer;
    ASSERT_TRUE(writer.BeginTileSetIndex(m_registry->IndexFolder(kMyCollection) / "Grays.TXS", 0));
    for (std::uint32_t n = 0; n < 16; ++n) {
      std::uint8_t value = std::uint8_t(n * 17);
      TileStatistics statistics;
      statistics.cells.fill(value);
      statistics.meanColour = value | value << 8 | std::uint32_t(value) << 16;
      ASSERT_TRUE(writer.AppendTileRecord(n, statistics));
      writer.AdvanceTileCounter();
    }
    ASSERT_TRUE(writer.EndTileSetIndex(false));
    ASSERT_TRUE(m_registry->AddCollection(kMyCollection, "Grays.TXS", "Grays",
                                          m_registry->TileFolder(kMyCollection, "Grays").string(),
                                          1));
    PackedImage target(CreatePackedImage(320, 240, 0x00808080, 0));
    fs::path path = m_dir / "target.png";
    ASSERT_EQ(EzSaveFile(target.get(), path.c_str(), kSaveByExtension, nullptr), 0);
    ASSERT_TRUE(m_engine->LoadTargetPicture(nullptr, path));
  }
  void TearDown() override {
    SetGlobalAllocLimit(0);
    SetStartupSettings(StartupSettings{});
    ReleaseResourceLibrary();
  }

  TempDir m_dir;
  Configuration m_configuration{m_dir / "P" / "Tesserix.set", m_dir / "U" / "Tesserix.ini"};
  std::unique_ptr<CollectionRegistry> m_registry;
  std::unique_ptr<MontageEngine> m_engine;
  testing::ScopedRecordingSink m_sink;
};

TEST_F(MontageMemory, AMontageBeyondMemoryIsRefusedBeforeItIsAllocated) {
  // No size limit, and tiles of scale x scale output pixels per analysis
  // pixel: hundreds of cells of 8000 x 6000 pixels and more.
  for (int scale : {1000, 30000, INT_MAX / 64}) {
    SCOPED_TRACE("scale " + std::to_string(scale));
    StartupSettings startup;
    startup.outputSizeLimit = INT_MAX;
    startup.defaultResolutionM = scale;
    SetStartupSettings(startup);
    MontageRequest request;
    request.settings.resolution = 1;
    request.seed = 7;
    // Any block the engine might still try to allocate for the montage
    // fails, so a refusal for another reason cannot pass for this one.
    SetGlobalAllocLimit(std::size_t(256) << 20);
    m_sink->notices.clear();
    const long rssBefore = PeakRssKiB();
    EXPECT_FALSE(m_engine->CreateMontage(nullptr, request, nullptr));
    SetGlobalAllocLimit(0);
    EXPECT_LT(PeakRssKiB() - rssBefore, 256L * 1024) << "peak memory grew by more than 256 MiB";
    EXPECT_EQ(m_engine->lastRefusal(), CreateRefusal::NotEnoughMemory);
    EXPECT_FALSE(m_engine->montagePresent());
    EXPECT_EQ(m_sink->texts(), std::vector<std::string>{LoadText(9920)});
  }

  // The same engine still makes a montage of an ordinary size.
  SetStartupSettings(StartupSettings{});
  MontageRequest ordinary;
  ordinary.seed = 7;
  m_sink->notices.clear();
  EXPECT_TRUE(m_engine->CreateMontage(nullptr, ordinary, nullptr));
  EXPECT_TRUE(m_engine->montagePresent());
}

}  // namespace
}  // namespace tx
