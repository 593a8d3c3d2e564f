#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "effects/effects_p.h"
#include "effects/fxkit.h"
#include "platform/cancel_flag.h"
#include "platform/notices.h"
#include "tests/effects/effect_test_util.h"
#include "tests/support/test_images.h"

namespace tx {
namespace {

using fxtest::ImageBytes;
using fxtest::RunRecord;
using fxtest::RunValues;
using testing::MakePatternImage;

TEST(SliderTable, MapsPositionsThroughTheRow) {
  struct Case {
    int id, sub, value, expected;
  };
  const Case cases[] = {
      {1, 0, 0, 1},      {1, 0, 50, 50},
      {1, 0, 100, 100},  {2, 0, 0, -128},
      {2, 0, 100, 127},  {2, 0, 50, 20},
      {2, 0, 51, 22},    {2, 0, 49, 18},  // truncation
      {2, 0, 25, -54},   {3, 1, 0, -180},
      {3, 1, 100, 180},  {3, 2, 50, 0},
      {3, 2, 0, 100},    {3, 2, 100, -100},
      {10, 0, 75, 350},  {15, 0, 0, 20},
      {82, 2, 100, 100}, {90, 3, 0, 1},
      {7, 0, 0, 1},      {7, 0, 100000, 0},
      {3, 0, 50, 0},  // no row (3, 0)
      {90, 2, 50, 0},    {5, 0, 0, 0},
      {200, 0, 50, 0},   {1, 0, 2147483647, 2147483647},  // saturates instead of overflowing
  };
  for (const Case& c : cases) {
    EXPECT_EQ(fx::MapSliderValue(c.id, c.sub, c.value), c.expected)
        << c.id << "/" << c.sub << " at " << c.value;
  }
}

TEST(RecordFromValues, FillsEachEffectsParameters) {
  struct Case {
    int id, sub;
    std::vector<int> mapped;
    std::vector<int> expected;
  };
  const Case cases[] = {
      {1, 0, {-7}, {256, 1007, -1, -1, 0}},  // divisions truncate toward zero
      {9, 0, {20}, {20, 2, 0, 0, 0}},          {10, 0, {200}, {3, 200, 0, 0, 0}},
      {15, 0, {128}, {1, 1, 128, 0, 0}},       {82, 2, {20}, {2, 20, 0, 0, 0}},
      {87, 0, {20}, {20, 0xffffff, 0, 0, 0}},  {89, 0, {0}, {0, 0, 0, 0, 0}},  // blocks of 0
      {89, 0, {30}, {8, 8, 0, 0, 0}},          {90, 3, {3}, {3, 3, 6, 0xffffff, 0}},
      {91, 0, {20}, {20, 4, 0, 0, 0}},         {95, 0, {20}, {4, 20, 0, 0, 0}},
      {98, 0, {30}, {25, 30, 0xffffff, 0, 0}}, {7, 0, {5}, {0, 0, 0, 0, 0}},  // reads no record
  };
  for (const Case& c : cases) {
    fx::EffectRecord rec =
        fx::BuildRecordFromValues(c.id, c.sub, c.mapped.data(), int(c.mapped.size()));
    EXPECT_EQ(std::vector<int>(rec.p, rec.p + 5), c.expected) << "id " << c.id;
  }
}

// Slider values reach the effect as the record DoEE would be given.
TEST(DoEnhanceAndEffect, ValuesGiveTheRecordOfTheirRows) {
  struct Case {
    int code;
    std::vector<int> values;
    std::vector<int> record;
  };
  const Case cases[] = {
      {1, {100}, {235, 900, 20, 20, 4}},
      {1, {50}, {245, 950, 10, 10, 2}},
      {2, {0, 100}, {1, -128, 127}},
      {2, {50, 50}, {1, 20, 20}},
      {2, {}, {1, 20, 20}},     // missing sliders read as neutral
      {3, {50, 0}, {20, 100}},  // the second value uses row (3, 2)
      {3, {100, 100}, {180, -100}},
      {3, {0, 50}, {-180, 0}},
      {4, {50, 50, 50}, {1, 20, 20, 20}},
      {4, {0, 100, 25}, {1, -200, 200, -90}},
      {2 | (1 << 20), {50, 50}, {1, 20, 20}},  // bits above the sub-selector ignored
      {2 | (5 << 8), {50, 50}, {1, 0, 0}},     // no row (2, 5): the values map to 0
  };
  PackedImage image = MakePatternImage(7, 5, 24);
  for (const Case& c : cases) {
    PackedImage viaValues = RunValues(image.get(), c.code, c.values);
    PackedImage viaRecord = RunRecord(image.get(), c.code & 0xff, c.record);
    ASSERT_TRUE(viaValues) << c.code;
    ASSERT_TRUE(viaRecord) << c.code;
    EXPECT_EQ(ImageBytes(viaValues.get()), ImageBytes(viaRecord.get())) << c.code;
  }
}

TEST(DoEnhanceAndEffect, ARecordMakesTheValuesIgnored) {
  PackedImage image = MakePatternImage(6, 4, 24);
  int record[5] = {1, 30, 10, 0, 0};
  const int values[2] = {0, 100};
  PackedImage direct(DoEE(image.get(), 2, record));
  PackedImage withValues(DoEnhanceAndEffect(image.get(), 2, values, 2, record));
  PackedImage withoutValues(DoEnhanceAndEffect(image.get(), 2, nullptr, 0, record));
  ASSERT_TRUE(direct);
  EXPECT_EQ(ImageBytes(withValues.get()), ImageBytes(direct.get()));
  EXPECT_EQ(ImageBytes(withoutValues.get()), ImageBytes(direct.get()));
  EXPECT_EQ(std::vector<int>(record, record + 5), (std::vector<int>{1, 30, 10, 0, 0}));
  // A record for an id without an effect gives DoEE's null too.
  EXPECT_EQ(DoEnhanceAndEffect(image.get(), 11, values, 2, record), nullptr);
}

TEST(DoEnhanceAndEffect, NegativeWhateverTheValue) {
  PackedImage image = MakePatternImage(5, 3, 24);
  PackedImage reference = RunRecord(image.get(), 7, {});
  ASSERT_TRUE(reference);
  for (int value : {0, 1, 50, 100, 4711, -3}) {
    PackedImage result = RunValues(image.get(), 7, {value});
    ASSERT_TRUE(result) << value;
    EXPECT_EQ(ImageBytes(result.get()), ImageBytes(reference.get())) << value;
  }
}

TEST(EntryPoints, NullInputsAndIdsWithoutEffectGiveNull) {
  PackedImage image = MakePatternImage(4, 4, 24);
  int record[5] = {1, 1, 1, 1, 1};
  const int values[1] = {50};
  EXPECT_EQ(DoEnhanceAndEffect(image.get(), 7, nullptr, 1, nullptr), nullptr);
  EXPECT_EQ(DoEnhanceAndEffect(nullptr, 7, values, 1, nullptr), nullptr);
  EXPECT_EQ(DoEE(image.get(), 7, nullptr), nullptr);
  EXPECT_EQ(DoEE(nullptr, 7, record), nullptr);
  const std::size_t live = GlobalLiveBlockCount();
  for (int id : {0, 5, 8, 11, 13, 18, 50, 80, 99, 100, 255, -1}) {
    EXPECT_EQ(DoEE(image.get(), id, record), nullptr) << id;
    EXPECT_EQ(DoEnhanceAndEffect(image.get(), id, values, 1, nullptr), nullptr) << id;
  }
  EXPECT_EQ(GlobalLiveBlockCount(), live);
  // DoEE takes the id whole; DoEnhanceAndEffect reads only its low byte.
  EXPECT_EQ(DoEE(image.get(), 7 + 256, record), nullptr);
  EXPECT_TRUE(RunValues(image.get(), 7 + 256, {50}));
}

// Sixteen- and 32-bit images are taken only by OneTouchEnhance, which hands
// back an unchanged copy.
TEST(EntryPoints, SixteenAndThirtyTwoBitImages) {
  for (int bits : {16, 32}) {
    PackedImage image(NewImageBlock(3, 2, bits, 0));
    {
      ImageLock lock(image.get());
      for (std::size_t i = 0; i < lock.stride() * 2; ++i)
        lock.bits()[i] = std::uint8_t(i * 29);
    }
    for (const fx::EffectInfo& info : fx::EffectCatalogue()) {
      if (!info.available) continue;
      PackedImage result = RunValues(image.get(), info.id, {50, 50, 50});
      if (info.id == 1) {
        ASSERT_TRUE(result) << bits;
        EXPECT_EQ(ImageBytes(result.get()), ImageBytes(image.get())) << bits;
      } else {
        EXPECT_FALSE(result) << info.name << " " << bits;
      }
    }
  }
}

TEST(FxRand, EveryThreadStartsFromStateOne) {
  auto firstThree = [] {
    std::vector<int> v;
    std::thread t([&v] {
      for (int i = 0; i < 3; ++i)
        v.push_back(fx::FxRand());
    });
    t.join();
    return v;
  };
  const std::vector<int> expected = {41, 18467, 6334};
  EXPECT_EQ(firstThree(), expected);
  EXPECT_EQ(firstThree(), expected);
}

class RecordingSink : public NoticeSink {
 public:
  void Show(const std::string& text, const std::string& title, NoticeIcon) override {
    shown.push_back(title + ": " + text);
  }
  NoticeAnswer AskYesNo(const std::string&, const std::string&) override {
    return NoticeAnswer::Yes;
  }
  NoticeAnswer AskYesNoCancel(const std::string&, const std::string&) override {
    return NoticeAnswer::Yes;
  }
  void Beep() override {}
  std::vector<std::string> shown;
};

TEST(EffectFrame, ExhaustedMemoryShowsTheMessageAndGivesNull) {
  PackedImage image = MakePatternImage(64, 64, 24);
  const auto before = ImageBytes(image.get());
  auto sink = std::make_shared<RecordingSink>();
  auto previous = SetNoticeSink(sink);
  const std::size_t live = GlobalLiveBlockCount();
  SetGlobalAllocLimit(1024);
  PackedImage result = RunValues(image.get(), 7, {0});
  SetGlobalAllocLimit(0);
  SetNoticeSink(previous);
  EXPECT_FALSE(result);
  EXPECT_EQ(GlobalLiveBlockCount(), live);
  EXPECT_EQ(sink->shown, std::vector<std::string>{"System message: There is not enough memory."});
  EXPECT_EQ(ImageBytes(image.get()), before);
}

TEST(EffectFrame, CancelCountsOnlyWhileTheHookIsEnabled) {
  PackedImage image = MakePatternImage(8, 40, 24);
  const std::size_t live = GlobalLiveBlockCount();
  ClearCancel();
  RequestCancel();
  PackedImage ignored = RunValues(image.get(), 16, {});
  EXPECT_TRUE(ignored);
  EXPECT_TRUE(PollCancel());  // the request was left for its owner

  fx::SetCancelHookEnabled(true);
  RequestCancel();
  PackedImage cancelled = RunValues(image.get(), 16, {});
  fx::SetCancelHookEnabled(false);
  EXPECT_FALSE(cancelled);
  ignored.reset();
  EXPECT_EQ(GlobalLiveBlockCount(), live);
}

}  // namespace
}  // namespace tx
