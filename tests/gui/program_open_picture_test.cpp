// The open-file dialog's filters and the folder it opens in.

#include <gtest/gtest.h>

#include "app/program/open_picture_dialog.h"
#include "config/settings_access.h"
#include "tests/gui/program_support.h"

namespace tx {
namespace {

TEST(OpenPictureDialog, FiltersMatchEitherCaseAndLeaveOutGifWhenAsked) {
  guitest::ProgramEnvironment env;
  ASSERT_TRUE(env.bound);
  const QStringList all = OpenPictureFilters(true);
  // Every picture type first, then one entry a type.
  ASSERT_EQ(all.size(), 9);
  EXPECT_TRUE(all[0].contains(QStringLiteral("*.gif")));
  EXPECT_TRUE(all[0].contains(QStringLiteral("*.JPEG")));
  EXPECT_TRUE(all.contains(QStringLiteral("JPEG 影像 (*.jpg *.jpeg *.JPG *.JPEG)")))
      << all.join(QLatin1Char('|')).toStdString();

  const QStringList noGif = OpenPictureFilters(false);
  EXPECT_EQ(noGif.size(), 8);
  for (const QString& filter : noGif)
    EXPECT_FALSE(filter.contains(QStringLiteral("gif"), Qt::CaseInsensitive));
}

TEST(OpenPictureDialog, OpensInTheRememberedFolderWhileItExists) {
  guitest::ProgramEnvironment env;
  const std::filesystem::path folder = env.dir.path() / "photos";
  std::filesystem::create_directories(folder);
  ASSERT_TRUE(WriteUserString("LastDir", folder.string()));
  EXPECT_EQ(OpenPictureFolder(), folder);
  std::filesystem::remove(folder);
  EXPECT_NE(OpenPictureFolder(), folder);
}

}  // namespace
}  // namespace tx
