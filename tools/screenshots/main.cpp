// tx-screenshots OUTDIR [--x11]
// tx-screenshots OUTDIR --live SECONDS
//
// Renders the main window's screens as they first appear, a few button
// states, every skinned list with sample items, the full-screen control bar
// and the About picture into OUTDIR as PNG files, through the same widget
// the program shows. Runs on the offscreen platform unless --x11 is given
// and a display is set. The texts come from Res_TX, or Res_EN when
// TESSERIX_LANG is "en".
//
// With --live the home screen is shown as a real window (on the display
// given, e.g. Xvfb) for SECONDS, each click of a button is printed as
// "clicked COMMAND ARGUMENT", and the screen as the display shows it at the
// end is saved as OUTDIR/live.png: scripts drive it with xdotool as a user
// would.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <QtCore/QElapsedTimer>
#include <QtCore/QTimer>
#include <QtGui/QImage>
#include <QtGui/QPixmap>
#include <QtGui/QScreen>
#include <QtWidgets/QApplication>

#include "app/lists/skinned_list.h"
#include "app/skin/skin_file.h"
#include "app/widgets/packed_image_view.h"
#include "app/widgets/skin_panel_widget.h"
#include "platform/paths.h"
#include "resources/messages.h"
#include "resources/resource_binding.h"

namespace fs = std::filesystem;

namespace {

using tx::ButtonRect;
using tx::SkinPanelWidget;

constexpr int kExitUsage = 2;
constexpr int kExitFailed = 1;

// Long enough for a cross-fade (about 200 ms) to end.
constexpr int kFadeSettleMs = 450;
// Long enough for the tool tip (1000 ms) to appear.
constexpr int kToolTipSettleMs = 1300;

// Tick states of the collection lists and of the lists of collections to build.
constexpr int kWeightTicks = 3;
constexpr int kDeleteTicks = 3;

// String ids of the sample items.
constexpr unsigned kStrTileCountFormat = 6100;  // "%d ..." with a count
constexpr unsigned kStrTileCountFirst = 6101;   // 6101 to 6107
constexpr unsigned kStrTileCountLast = 6107;
constexpr unsigned kStrResolutionFirst = 6109;  // small, large, picture size, file size
constexpr unsigned kStrResolutionLast = 6112;
constexpr unsigned kStrUsageFirst = 6113;  // no, limited, unlimited repetition
constexpr unsigned kStrUsageLast = 6115;
constexpr unsigned kStrStyleFirst = 9800;  // aligned, staggered
constexpr unsigned kStrStyleLast = 9801;
constexpr unsigned kStrGridFirst = 9831;  // grid and border combinations
constexpr unsigned kStrGridLast = 9836;
constexpr unsigned kStrPlaceFirst = 9838;  // caption places
constexpr unsigned kStrPlaceLast = 9841;
constexpr unsigned kStrLayoutFirst = 6401;  // print layouts
constexpr unsigned kStrLayoutLast = 6408;
constexpr int kSampleTileCount = 600;

void Wait(int ms) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < ms)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

bool Save(const QImage& image, const fs::path& folder, const std::string& name) {
  const fs::path file = folder / (name + ".png");
  if (image.isNull() || !image.save(QString::fromStdString(file.string()), "PNG")) {
    std::fprintf(stderr, "tx-screenshots: cannot write %s\n", file.string().c_str());
    return false;
  }
  return true;
}

bool Shoot(SkinPanelWidget& widget, const fs::path& folder, const std::string& name) {
  QCoreApplication::processEvents();
  return Save(widget.grab().toImage(), folder, name);
}

std::vector<std::string> Strings(unsigned first, unsigned last) {
  std::vector<std::string> out;
  for (unsigned id = first; id <= last; ++id)
    out.push_back(tx::LoadText(id));
  return out;
}

int FindCommand(SkinPanelWidget& widget, const std::string& command, int argument = -1) {
  const auto& records = widget.panel().main()->records();
  for (int i = 0; i < int(records.size()); ++i) {
    const tx::ButtonRecord& r = records[std::size_t(i)];
    if (r.command == command && (argument < 0 || tx::ArgLow(r.argument) == argument)) return i;
  }
  return -1;
}

// Where a list opens: on a screen, at the corner of an area, or under a
// field (a control id or a button's command), at its left edge.
struct ListShot {
  int id;
  int screen;
  int areaId;   // open at this area's corner; 0: under `fieldId` / `fieldCommand`
  int fieldId;  // the field's control id, or 0
  const char* fieldCommand;
  int ticks;
  const char* name;
  std::vector<std::string> items;
};

std::vector<ListShot> ListShots() {
  const std::vector<std::string> collections = {
      "Family 2023",     "Garden in spring", "Beach holiday",
      "Winter walks",    "Cats and dogs",    "A collection with a name far too long for its row",
      "Old photographs", "Birthdays"};
  const std::vector<std::string> videos = {"holiday.mp4", "birthday party.mov", "first steps.avi",
                                           "a very long video file name.mkv"};
  std::vector<std::string> counts;
  {
    std::string first = tx::LoadText(kStrTileCountFormat);
    const auto at = first.find("%d");
    if (at != std::string::npos) first.replace(at, 2, std::to_string(kSampleTileCount));
    counts.push_back(first);
    for (const std::string& s : Strings(kStrTileCountFirst, kStrTileCountLast)) {
      counts.push_back(s);
    }
  }
  const std::vector<std::string> ratios = {"1:1",  "4:3",  "3:4", "3:2", "2:3",
                                           "16:9", "9:16", "5:4", "4:5", "2:1"};
  const std::vector<std::string> seconds = {"0.5", "1", "2", "3", "5", "10", "15", "30", "60"};
  const std::vector<std::string> albums = {"Summer 2022", "Trip to the mountains", "Grandparents",
                                           "School days", "Scans"};
  return {
      {1000, 3, 132, 0, "", kWeightTicks, "disc-collections", collections},
      {1001, 3, 129, 0, "", kWeightTicks, "my-collections", collections},
      {1002, 3, 143, 0, "", kWeightTicks, "video-collections", videos},
      {1006, 2, 0, 0, "CropRatio", 0, "crop-ratios", ratios},
      {1003, 4, 160, 0, "", kDeleteTicks, "albums", albums},
      {1004, 4, 161, 0, "", kDeleteTicks, "my-collections-to-build", collections},
      {1005, 7, 167, 0, "", 0, "video-sources", videos},
      {1012, 7, 168, 0, "", kDeleteTicks, "video-collections-to-build", videos},
      {1007, 3, 0, 0, "ChooseCount", 0, "tile-counts", counts},
      {1008, 3, 0, 0, "ChooseResolution", 0, "resolutions",
       Strings(kStrResolutionFirst, kStrResolutionLast)},
      {1009, 7, 0, 180, "", 0, "seconds-per-frame", seconds},
      {1010, 3, 0, 0, "ChooseUsage", 0, "repetition", Strings(kStrUsageFirst, kStrUsageLast)},
      {1011, 3, 0, 0, "ChooseStyle", 0, "styles", Strings(kStrStyleFirst, kStrStyleLast)},
      {1013, 3, 0, 0, "ChooseGridBorder", 0, "grid-and-border",
       Strings(kStrGridFirst, kStrGridLast)},
      {1014, 3, 0, 0, "ChoosePosition", 0, "caption-places",
       Strings(kStrPlaceFirst, kStrPlaceLast)},
      {1015, 3, 0, 0, "ChooseStyle", 0, "spare-drop-down", Strings(kStrStyleFirst, kStrStyleLast)},
      {1016, 5, 0, 163, "", 0, "print-layouts", Strings(kStrLayoutFirst, kStrLayoutLast)},
  };
}

bool ShootList(SkinPanelWidget& widget, const ListShot& shot, const fs::path& folder) {
  widget.SetScreen(shot.screen);
  ButtonRect anchor;
  if (shot.areaId != 0) {
    anchor = widget.panel().GetButtonRect(shot.areaId);
  } else if (shot.fieldId != 0) {
    anchor = widget.panel().GetButtonRect(shot.fieldId);
  } else {
    const int field = FindCommand(widget, shot.fieldCommand);
    if (field >= 0) anchor = widget.panel().main()->records()[std::size_t(field)].rect;
  }
  if (anchor.IsEmpty()) {
    std::fprintf(stderr, "tx-screenshots: screen %d has no place for list %d\n", shot.screen,
                 shot.id);
    return false;
  }
  const int x = anchor.left;
  const int y = shot.areaId != 0 ? anchor.top : anchor.bottom;
  tx::SkinnedList* list = widget.lists().CreateList(shot.id, x, y, shot.ticks);
  if (!list) {
    std::fprintf(stderr, "tx-screenshots: list %d does not open\n", shot.id);
    return false;
  }
  tx::ListStore& store = list->store();
  for (const std::string& item : shot.items)
    store.AddString(item);
  // Show the first items, a selection, and (with ticks) every tick state
  // and a marked item.
  store.SetTop(0);
  if (shot.ticks > 0) {
    for (int i = 0; i < store.count(); ++i)
      store.SetTick(i, i % (shot.ticks + 1));
    if (store.count() > 1) store.SetMark(1, 1);
  } else if (store.count() > 1) {
    store.SetSelection(1);
  }
  list->Update();
  const bool saved = Shoot(widget, folder,
                           "list" + std::to_string(shot.id) + "-" + shot.name + "-on-screen" +
                               std::to_string(shot.screen));
  widget.lists().DestroyList(shot.id);
  return saved;
}

bool ShootButtonStates(SkinPanelWidget& widget, const fs::path& folder) {
  bool ok = true;
  widget.SetScreen(0);
  const int crop = FindCommand(widget, "Crop");
  if (crop < 0) return false;
  const ButtonRect r = widget.panel().main()->records()[std::size_t(crop)].rect;
  const int cx = (r.left + r.right) / 2;
  const int cy = (r.top + r.bottom) / 2;

  widget.panel().OnMouse(tx::MouseMessage::Move, cx, cy);
  Wait(kFadeSettleMs);
  ok = Shoot(widget, folder, "screen0-crop-highlighted") && ok;
  Wait(kToolTipSettleMs - kFadeSettleMs);
  ok = Shoot(widget, folder, "screen0-crop-tool-tip-and-status") && ok;
  widget.panel().OnMouse(tx::MouseMessage::LeftDown, cx, cy);
  Wait(kFadeSettleMs);
  ok = Shoot(widget, folder, "screen0-crop-pressed") && ok;
  // Released away from the button: no command runs.
  widget.panel().OnMouse(tx::MouseMessage::LeftUp, 300, 300);
  widget.panel().OnMouse(tx::MouseMessage::Leave, -1, -1);
  widget.SetStatusText("");
  Wait(kFadeSettleMs);

  // The other choice of the picture switch turned on.
  widget.panel().SetChoice(0, 1, 1);
  ok = Shoot(widget, folder, "screen0-show-montage-on") && ok;
  widget.panel().SetChoice(0, 1, 0);

  // The montage settings' three toggles on.
  widget.SetScreen(3);
  for (const char* command : {"ToggleColour", "ToggleSignature", "ToggleTreasure"}) {
    const int index = FindCommand(widget, command);
    if (index >= 0) widget.panel().Toggle(3, index, 1);
  }
  ok = Shoot(widget, folder, "screen3-toggles-on") && ok;
  for (const char* command : {"ToggleColour", "ToggleSignature", "ToggleTreasure"}) {
    const int index = FindCommand(widget, command);
    if (index >= 0) widget.panel().Toggle(3, index, 0);
  }

  // The crop screen's sliders moved off their middle.
  widget.SetScreen(2);
  tx::ButtonGroup* group = widget.panel().main();
  if (group && group->sliders().size() >= 2) {
    group->SetSliderValue(0, 20);
    group->SetSliderValue(1, 85);
    ok = Shoot(widget, folder, "screen2-sliders-moved") && ok;
  }
  return ok;
}

// Shows the home screen as a real window until `seconds` have passed, then
// saves what the screen shows.
bool RunLive(QApplication& app, const fs::path& program, const fs::path& out, int seconds) {
  SkinPanelWidget widget(nullptr, tx::MainPanelSkin(), program);
  widget.setWindowTitle(QStringLiteral("Tesserix"));
  for (int n = 0; n < tx::kScreenCount; ++n) {
    for (const tx::ButtonLayout& entry : tx::MainScreenLayout(n).buttons) {
      if (entry.command == nullptr || *entry.command == '\0') continue;
      const std::string command = entry.command;
      widget.BindHandler(command, [command](const tx::ButtonCall& call) {
        std::printf("clicked %s %d\n", command.c_str(), int(tx::ArgLow(call.argument)));
        std::fflush(stdout);
      });
    }
  }
  widget.move(0, 0);
  widget.show();
  bool ok = false;
  QTimer::singleShot(seconds * 1000, &app, [&] {
    const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0);
    ok = Save(shot.toImage(), out, "live");
    app.quit();
  });
  app.exec();
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::string(argv[1]).rfind("--", 0) == 0) {
    std::fprintf(stderr, "usage: tx-screenshots OUTDIR [--x11 | --live SECONDS]\n");
    return kExitUsage;
  }
  bool x11 = false;
  int liveSeconds = 0;
  for (int i = 2; i < argc; ++i) {
    const std::string option = argv[i];
    x11 = x11 || option == "--x11";
    if (option == "--live" && i + 1 < argc) liveSeconds = std::atoi(argv[++i]);
  }
  if (liveSeconds > 0) {
    x11 = true;
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
      std::fprintf(stderr, "tx-screenshots: --live needs a display\n");
      return kExitUsage;
    }
  }
  if (!(x11 && !qEnvironmentVariableIsEmpty("DISPLAY"))) qputenv("QT_QPA_PLATFORM", "offscreen");

  QApplication app(argc, argv);
  const fs::path out(argv[1]);
  std::error_code error;
  fs::create_directories(out, error);
  if (!fs::is_directory(out)) {
    std::fprintf(stderr, "tx-screenshots: cannot make %s\n", out.string().c_str());
    return kExitFailed;
  }
  std::string why;
  const fs::path program = tx::ProgramDir();
  if (!tx::BindResourceLibrary(program, tx::ChosenResourceLibraryName(), why)) {
    std::fprintf(stderr, "tx-screenshots: %s\n", why.c_str());
    return kExitFailed;
  }

  if (liveSeconds > 0) return RunLive(app, program, out, liveSeconds) ? 0 : kExitFailed;

  bool ok = true;
  {
    SkinPanelWidget widget(nullptr, tx::MainPanelSkin(), program);
    widget.show();
    for (int n = 0; n < tx::kScreenCount; ++n) {
      widget.SetScreen(n);
      ok = Shoot(widget, out, "screen" + std::to_string(n)) && ok;
    }
    ok = ShootButtonStates(widget, out) && ok;
    for (const ListShot& shot : ListShots())
      ok = ShootList(widget, shot, out) && ok;
  }
  {
    SkinPanelWidget bar(nullptr, tx::DetailBarSkin(), program);
    bar.show();
    ok = Shoot(bar, out, "full-screen-bar") && ok;
  }
  {
    tx::PackedImage about(tx::LoadBackground(tx::FindSkinFile(program / "ui", "about.800")));
    const tx::PackedImageView view(about.get());
    if (view.valid()) {
      ok = Save(view.ToImage(), out, "about") && ok;
    } else {
      std::fprintf(stderr, "tx-screenshots: cannot read ui/about.800\n");
      ok = false;
    }
  }
  std::printf("tx-screenshots: pictures in %s\n", fs::absolute(out).string().c_str());
  return ok ? 0 : kExitFailed;
}
