#include "app/buttons/button_group.h"

#include <algorithm>
#include <map>
#include <string>
#include <utility>

#include "app/buttons/choice_rules_p.h"
#include "app/buttons/cross_fade_p.h"
#include "app/buttons/slider_p.h"
#include "app/skin/skin_format.h"
#include "image/packed_image.h"

namespace tx {

namespace {

// Choice groups whose changes never fade: every change in group 8, and the
// highlight of groups 5 and 10.
constexpr int kChoiceGroupNeverFades = 8;
constexpr int kChoiceGroupNoHighlightFadeA = 5;
constexpr int kChoiceGroupNoHighlightFadeB = 10;

// Auto-repeat calls the handler from the tick after this many ticks.
constexpr int kRepeatAfterTicks = 3;

// The tool tip's text is framed by two blanks before and one after.
constexpr const char* kTipLead = "  ";
constexpr const char* kTipTail = " ";

bool IsSliderPart(int type) {
  return type == kButtonSpin || type == kButtonSliderRange || type == kButtonSliderTrack;
}

bool IsRowType(int type) {
  return type == kButtonListRow || type == kButtonListRowPart;
}

// The pointer as handlers get it: y in the high half, x in the low half.
std::int32_t PointerWord(int x, int y) {
  return MakeArg(x, y);
}

bool FadeAllowed(const ButtonRecord& r, int state) {
  if (r.choiceGroup == kChoiceGroupNeverFades) return false;
  const bool noHighlightFade = r.choiceGroup == kChoiceGroupNoHighlightFadeA ||
                               r.choiceGroup == kChoiceGroupNoHighlightFadeB;
  return !(state == kStateHighlighted && noHighlightFade);
}

ButtonRect Union(const ButtonRect& a, const ButtonRect& b) {
  if (a.IsEmpty()) return b;
  if (b.IsEmpty()) return a;
  return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
          std::max(a.bottom, b.bottom)};
}

}  // namespace

struct ButtonGroup::Impl {
  Impl(ButtonGroup& s, ButtonHost& h, int g, const ButtonRect& p, std::filesystem::path skin,
       std::vector<ButtonRecord>& r, const ButtonGroupOptions& o)
      : self(s), host(h), group(g), panel(p), skinPath(std::move(skin)), records(r), options(o) {}

  ButtonGroup& self;
  ButtonHost& host;
  int group;
  ButtonRect panel;
  std::filesystem::path skinPath;
  std::vector<ButtonRecord>& records;
  ButtonGroupOptions options;

  bool valid = false;
  PackedImage background;
  // The state pictures the records point at; the group owns them.
  std::vector<PackedImage> pictures;
  // The records' rectangles as the table gave them, put back when the group
  // goes so that the next load of the screen starts from the table again.
  std::vector<ButtonRect> tableRects;
  std::vector<Slider> sliders;
  std::map<int, std::unique_ptr<CrossFade>> fades;

  int hot = -1;
  int pressed = -1;
  int ticks = 0;
  int pointerX = 0;
  int pointerY = 0;
  bool captured = false;
  bool tipShown = false;
  bool fadeTimer = false;
  int dragSlider = -1;
  int dragStartValue = 0;
  // False once the group is gone: a handler may replace the screen, and the
  // code after its call must then leave the group alone.
  std::shared_ptr<bool> alive = std::make_shared<bool>(true);

  void Load();
  void Unload();
  void FillRecords(SkinGroup& skin);

  bool InRange(int index) const { return index >= 0 && index < int(records.size()); }
  GlobalHandle PictureFor(int index, int state) const;
  GlobalHandle Shown(int index) const;
  void Draw(int index, int state, bool animate);
  void SetState(int index, int state, bool animate);
  void StepFades();

  int HitTest(int x, int y) const;
  int SliderOfRange(int index) const;
  int SliderOf(int index) const;
  int SpinSlider(const ButtonRecord& spin) const;
  void SetSliderValue(int slider, int value);
  void FollowDrag(int x, int y);

  void CloseTip();
  void ReleaseCapture();
  bool UpdateHot(int hit);
  bool RowPhase(int index, int phase, int x, int y);
  void CallHandler(int index, int x, int y);

  bool Move(int x, int y);
  bool LeftDown(int x, int y);
  bool LeftUp(int x, int y);
  bool DoubleClick(int x, int y);
  void AutoRepeatTick();
  void ToolTipTick();
};

// ---------------------------------------------------------------------------
// Loading

void ButtonGroup::Impl::Load() {
  // The records still point at the pictures of the group that showed them
  // last, which freed them when it went.
  tableRects.clear();
  for (ButtonRecord& r : records) {
    r.pictures = {};
    tableRects.push_back(r.rect);
  }

  const std::filesystem::path folder = skinPath.parent_path();
  const std::filesystem::path backgroundPath =
      options.backgroundName.empty() ? BackgroundPath(skinPath, group, options.noZanthe)
                                     : FindSkinFile(folder, options.backgroundName);
  background.reset(LoadBackground(backgroundPath));
  if (!background) {
    host.ShowMessage(kStrCannotOpenComponent);
    return;
  }

  SkinGroup skin;
  std::string why;
  if (!ReadSkinGroup(FindSkinFile(folder, skinPath.filename().string()), group, skin, why)) {
    background.reset();
    host.ShowMessage(kStrCannotOpenSkin);
    return;
  }

  std::uint16_t width = 0;
  std::uint16_t height = 0;
  GetImageSize(background.get(), width, height);
  // A panel given by its corner only covers its background.
  if (panel.IsEmpty()) {
    panel.right = panel.left + width;
    panel.bottom = panel.top + height;
  }
  if (options.isMain) host.ResizeWindow(width, height);
  host.Invalidate(options.isMain ? ButtonRect{0, 0, width, height} : panel);

  hot = -1;
  FillRecords(skin);
  for (int i = 0; i < int(records.size()); ++i) {
    if (records[std::size_t(i)].type == kButtonSliderTrack)
      sliders.push_back(MakeSlider(records, i));
  }
  valid = true;
}

void ButtonGroup::Impl::FillRecords(SkinGroup& skin) {
  for (std::size_t i = 0; i < records.size(); ++i) {
    ButtonRecord& r = records[i];
    const bool fromSkin = r.rect.left == 0 && r.rect.right == 0;
    if (i < skin.buttons.size()) {
      SkinButton& b = skin.buttons[i];
      for (std::size_t k = 0; k < b.pictures.size(); ++k) {
        if (!b.pictures[k]) continue;
        r.pictures[k] = b.pictures[k].get();
        pictures.push_back(std::move(b.pictures[k]));
      }
      if (fromSkin && b.hasPosition) {
        const SkinEntryFields& f = b.fields;
        r.rect.left = f.x + panel.left;
        r.rect.top = f.y + panel.top;
        r.rect.right = r.rect.left + f.width;
        r.rect.bottom = r.rect.top + f.height;
        r.link = f.link;
        if (f.kind == skin::kKindSliderTrack) {
          r.type = kButtonSliderTrack;
        } else if (f.kind == skin::kKindSliderThumb) {
          r.type = kButtonSliderRange;
          r.link = -1;
        }
      }
    }
    if (!fromSkin) {
      r.rect.left += panel.left;
      r.rect.right += panel.left;
      r.rect.top += panel.top;
      r.rect.bottom += panel.top;
    }
    r.drawnState = RestingState(r);
  }
}

void ButtonGroup::Impl::Unload() {
  *alive = false;
  fades.clear();
  host.StopTimer(self, kTimerAutoRepeat);
  host.StopTimer(self, kTimerToolTip);
  host.StopTimer(self, kTimerFade);
  ReleaseCapture();
  CloseTip();
  for (std::size_t i = 0; i < records.size(); ++i) {
    records[i].pictures = {};
    if (i < tableRects.size()) records[i].rect = tableRects[i];
  }
  pictures.clear();
  background.reset();
}

// ---------------------------------------------------------------------------
// Drawing

GlobalHandle ButtonGroup::Impl::PictureFor(int index, int state) const {
  const ButtonRecord& r = records[std::size_t(index)];
  // A track shows its third picture at rest and its second while pressed.
  if (r.type == kButtonSliderTrack) return state == kStatePressed ? r.pictures[1] : r.pictures[2];
  return r.pictures[std::size_t(std::clamp(state, 0, 2))];
}

GlobalHandle ButtonGroup::Impl::Shown(int index) const {
  const auto fade = fades.find(index);
  if (fade != fades.end()) return fade->second->work();
  return PictureFor(index, records[std::size_t(index)].drawnState);
}

void ButtonGroup::Impl::Draw(int index, int state, bool animate) {
  if (!InRange(index)) return;
  ButtonRecord& r = records[std::size_t(index)];
  // Thumbs are drawn by their slider; a track has no highlighted look.
  if (r.type == kButtonSliderRange) return;
  if (r.type == kButtonSliderTrack && state == kStateHighlighted) return;
  // A choice or toggle that is on keeps its "on" look whatever is asked.
  if (IsOn(r)) state = kStatePressed;
  state = std::clamp(state, 0, 2);
  if (!valid) {
    r.drawnState = state;
    return;
  }

  const auto fade = fades.find(index);
  const int showing = fade != fades.end() ? fade->second->target() : r.drawnState;
  if (state == showing) return;

  if (animate && FadeAllowed(r, state) && !r.rect.IsEmpty()) {
    // Fade from what is on the window now, even when that is a fade's frame.
    GlobalHandle from = Shown(index);
    auto next = std::make_unique<CrossFade>(from, PictureFor(index, state), state, host.NowMs());
    if (next->valid()) {
      fades[index] = std::move(next);
      if (!fadeTimer) {
        host.StartTimer(self, kTimerFade, kFadeFrameMs);
        fadeTimer = true;
      }
      return;
    }
  }
  // Pictures that cannot be blended switch at once.
  if (fade != fades.end()) fades.erase(fade);
  r.drawnState = state;
  host.Invalidate(r.rect);
}

void ButtonGroup::Impl::SetState(int index, int state, bool animate) {
  if (!InRange(index)) return;
  Draw(index, state, animate);
  // The companion: the record whose control id is this record's tip id.
  const int tip = records[std::size_t(index)].tipId;
  if (tip <= 0) return;
  for (int j = 0; j < int(records.size()); ++j) {
    if (j != index && records[std::size_t(j)].controlId == tip) {
      Draw(j, state, animate);
      break;
    }
  }
}

void ButtonGroup::Impl::StepFades() {
  const std::int64_t now = host.NowMs();
  for (auto it = fades.begin(); it != fades.end();) {
    ButtonRecord& r = records[std::size_t(it->first)];
    if (!it->second->Step(now)) {
      r.drawnState = it->second->target();
      it = fades.erase(it);
    } else {
      ++it;
    }
    host.Invalidate(r.rect);
  }
  if (fades.empty() && fadeTimer) {
    host.StopTimer(self, kTimerFade);
    fadeTimer = false;
  }
}

// ---------------------------------------------------------------------------
// Hit-testing and sliders

int ButtonGroup::Impl::HitTest(int x, int y) const {
  if (!valid) return -1;
  int thumb = -1;
  for (int i = 0; i < int(records.size()); ++i) {
    const ButtonRecord& r = records[std::size_t(i)];
    if (r.on == kOnSkippable) continue;
    if (r.type == kButtonArea && !r.HasHandler()) continue;
    if (r.type == kButtonSliderRange) {
      // A thumb answers where its slider shows it, and only when nothing
      // else is under the pointer.
      const int s = SliderOfRange(i);
      const ButtonRect at = s >= 0 ? ThumbRect(sliders[std::size_t(s)], records) : r.rect;
      if (thumb < 0 && at.Contains(x, y)) thumb = i;
      continue;
    }
    if (r.rect.Contains(x, y)) return i;
  }
  return thumb;
}

int ButtonGroup::Impl::SliderOfRange(int index) const {
  for (std::size_t s = 0; s < sliders.size(); ++s) {
    if (sliders[s].range == index) return int(s);
  }
  return -1;
}

int ButtonGroup::Impl::SliderOf(int index) const {
  for (std::size_t s = 0; s < sliders.size(); ++s) {
    if (sliders[s].track == index || sliders[s].range == index) return int(s);
  }
  return -1;
}

int ButtonGroup::Impl::SpinSlider(const ButtonRecord& spin) const {
  // The slider whose range record has the spin button's handler and the
  // same value in its argument's low half.
  for (std::size_t s = 0; s < sliders.size(); ++s) {
    if (sliders[s].range < 0) continue;
    const ButtonRecord& range = records[std::size_t(sliders[s].range)];
    if (range.command == spin.command && ArgLow(range.argument) == ArgLow(spin.argument)) {
      return int(s);
    }
  }
  return -1;
}

void ButtonGroup::Impl::SetSliderValue(int slider, int value) {
  if (slider < 0 || slider >= int(sliders.size())) return;
  Slider& s = sliders[std::size_t(slider)];
  const int clamped = ClampSliderValue(s, value);
  if (clamped == s.value) return;
  const ButtonRect before = ThumbRect(s, records);
  s.value = clamped;
  if (valid) host.Invalidate(Union(Union(before, ThumbRect(s, records)), s.trackRect));
}

void ButtonGroup::Impl::FollowDrag(int x, int y) {
  const Slider& s = sliders[std::size_t(dragSlider)];
  const bool near = GrownTrack(s.trackRect).Contains(x, y);
  SetSliderValue(dragSlider, near ? SliderValueAt(s, records, x, y) : dragStartValue);
}

// ---------------------------------------------------------------------------
// Mouse

void ButtonGroup::Impl::CloseTip() {
  if (!tipShown) return;
  host.ShowToolTip("", pointerX, pointerY);
  tipShown = false;
}

void ButtonGroup::Impl::ReleaseCapture() {
  if (!captured) return;
  host.SetMouseCapture(false);
  captured = false;
}

// Makes `hit` the hot button. Returns false when a handler replaced the group.
bool ButtonGroup::Impl::UpdateHot(int hit) {
  if (hit == hot) return true;
  const int old = hot;
  hot = hit;
  CloseTip();
  host.StopTimer(self, kTimerToolTip);
  if (old >= 0) SetState(old, kStateNormal, true);
  if (hit >= 0) {
    host.SetStatusText("");
    const std::string text = host.Text(records[std::size_t(hit)].tipId);
    if (!text.empty()) host.SetStatusText(text);
    host.StartTimer(self, kTimerToolTip, kToolTipDelayMs);
    SetState(hit, hit == pressed ? kStatePressed : kStateHighlighted, true);
  }
  // A row the pointer left learns it, so the list drops its hot row.
  if (old >= 0) return RowPhase(old, kPhaseLeave, pointerX, pointerY);
  return true;
}

// Reports `phase` to a list row (or, for a part of a row, to the row it acts
// for). Returns false when the handler replaced the group.
bool ButtonGroup::Impl::RowPhase(int index, int phase, int x, int y) {
  const ButtonRecord& r = records[std::size_t(index)];
  if (!IsRowType(r.type)) return true;
  int target = index;
  if (r.type == kButtonListRowPart) target = index + ArgLow(r.argument);
  if (!InRange(target)) return true;
  const ButtonRecord& row = records[std::size_t(target)];
  if (!row.HasHandler()) return true;
  const RowContext context{&self, target, phase, row.argument, x, y};
  const ButtonHandler handler = row.handler;
  const std::shared_ptr<bool> stillAlive = alive;
  handler(ButtonCall{kRowHandlerArgument, PointerWord(x, y), &context});
  return *stillAlive;
}

// The click's handler call; the last thing any message does, since the
// handler may replace the screen and with it this group.
void ButtonGroup::Impl::CallHandler(int index, int x, int y) {
  const ButtonRecord& r = records[std::size_t(index)];
  std::int32_t argument = r.argument;
  if (r.type == kButtonSpin) {
    const int s = SpinSlider(r);
    if (s < 0) {
      host.ShowMessage(kStrScrollBarError);
      return;
    }
    const Slider& slider = sliders[std::size_t(s)];
    SetSliderValue(s, slider.value + ArgHigh(r.argument));
    argument = MakeArg(ArgLow(r.argument), slider.value);
  } else if (r.type == kButtonSliderTrack || r.type == kButtonSliderRange) {
    // Tracks and thumbs report their slider's value as spin buttons do.
    const int s = SliderOf(index);
    if (s >= 0) argument = MakeArg(ArgLow(r.argument), sliders[std::size_t(s)].value);
  }
  if (!r.HasHandler()) return;
  const ButtonHandler handler = r.handler;
  handler(ButtonCall{argument, PointerWord(x, y), nullptr});
}

bool ButtonGroup::Impl::Move(int x, int y) {
  const bool busy = pressed >= 0 || hot >= 0;
  if (dragSlider >= 0) FollowDrag(x, y);
  const int hit = HitTest(x, y);
  if (!UpdateHot(hit)) return true;
  if (hit >= 0) RowPhase(hit, kPhaseMove, x, y);
  return busy || hit >= 0;
}

bool ButtonGroup::Impl::LeftDown(int x, int y) {
  const int hit = HitTest(x, y);
  if (hit < 0) return false;
  const ButtonRecord& r = records[std::size_t(hit)];
  CloseTip();
  host.StopTimer(self, kTimerToolTip);
  host.SetStatusText("");
  if (!captured) {
    host.SetMouseCapture(true);
    captured = true;
  }
  // A press whose release never came gives way to this one.
  if (pressed >= 0 && pressed != hit) SetState(pressed, kStateNormal, false);
  if (hot != hit) {
    if (hot >= 0) SetState(hot, kStateNormal, false);
    hot = hit;
  }
  pressed = hit;
  SetState(hit, kStatePressed, true);
  ticks = 0;
  host.StartTimer(self, kTimerAutoRepeat, kAutoRepeatMs);
  if (!IsSliderPart(r.type) && options.clickSound) host.PlayClickSound();
  const int s = SliderOf(hit);
  if (s >= 0 && (r.type == kButtonSliderTrack || r.type == kButtonSliderRange)) {
    dragSlider = s;
    dragStartValue = sliders[std::size_t(s)].value;
    FollowDrag(x, y);
  }
  RowPhase(hit, kPhasePress, x, y);
  return true;
}

bool ButtonGroup::Impl::LeftUp(int x, int y) {
  if (pressed < 0) {
    ReleaseCapture();
    return false;
  }
  const int p = pressed;
  pressed = -1;
  ReleaseCapture();
  host.StopTimer(self, kTimerAutoRepeat);
  const ButtonRecord& r = records[std::size_t(p)];

  if (dragSlider >= 0) {
    // A thumb drag ends where the pointer is, unless it strayed far from
    // the track: then the thumb goes back.
    const int s = dragSlider;
    dragSlider = -1;
    const Slider& slider = sliders[std::size_t(s)];
    const bool near = GrownTrack(slider.trackRect).Contains(x, y);
    SetSliderValue(s, near ? SliderValueAt(slider, records, x, y) : dragStartValue);
    SetState(p, kStateNormal, true);
    if (!UpdateHot(HitTest(x, y))) return true;
    if (near) CallHandler(p, x, y);
    return true;
  }

  const int hit = HitTest(x, y);
  if (hit != p) {
    SetState(p, kStateNormal, true);
    UpdateHot(hit);
    return true;
  }
  if (IsRowType(r.type)) {
    SetState(p, kStateHighlighted, true);
    RowPhase(p, kPhaseRelease, x, y);
    return true;
  }
  if (IsPlain(r)) {
    SetState(p, kStateHighlighted, true);
  } else if (self.SetChoice(r.choiceGroup, ArgLow(r.argument)) == -2) {
    // A refused choice is only redrawn; its handler is not called.
    SetState(p, kStateHighlighted, true);
    return true;
  }
  CallHandler(p, x, y);
  return true;
}

bool ButtonGroup::Impl::DoubleClick(int x, int y) {
  const int hit = HitTest(x, y);
  if (hit < 0) return false;
  if (IsRowType(records[std::size_t(hit)].type)) {
    RowPhase(hit, kPhaseDoubleClick, x, y);
    return true;
  }
  // The second click of a quick pair presses other buttons like the first.
  return LeftDown(x, y);
}

void ButtonGroup::Impl::AutoRepeatTick() {
  if (pressed < 0) {
    host.StopTimer(self, kTimerAutoRepeat);
    return;
  }
  const int ticksBefore = ticks++;
  const int type = records[std::size_t(pressed)].type;
  if (ticksBefore >= kRepeatAfterTicks && (type == kButtonArrow || type == kButtonSpin) &&
      HitTest(pointerX, pointerY) == pressed) {
    CallHandler(pressed, pointerX, pointerY);
  }
}

void ButtonGroup::Impl::ToolTipTick() {
  host.StopTimer(self, kTimerToolTip);
  if (!options.toolTips || hot < 0) return;
  const std::string text = host.Text(records[std::size_t(hot)].tipId);
  if (text.empty()) return;
  host.ShowToolTip(kTipLead + text + kTipTail, pointerX, pointerY);
  tipShown = true;
}

// ---------------------------------------------------------------------------
// The public face

ButtonGroup::ButtonGroup(ButtonHost& host, int group, const ButtonRect& panel,
                         const std::filesystem::path& skinPath, std::vector<ButtonRecord>& records,
                         const ButtonGroupOptions& options)
    : m(std::make_unique<Impl>(*this, host, group, panel, skinPath, records, options)) {
  m->Load();
}

ButtonGroup::~ButtonGroup() {
  m->Unload();
}

bool ButtonGroup::valid() const {
  return m->valid;
}
int ButtonGroup::group() const {
  return m->group;
}
const ButtonRect& ButtonGroup::panel() const {
  return m->panel;
}
GlobalHandle ButtonGroup::Background() const {
  return m->background.get();
}
std::vector<ButtonRecord>& ButtonGroup::records() {
  return m->records;
}
const std::vector<ButtonRecord>& ButtonGroup::records() const {
  return m->records;
}
const std::vector<Slider>& ButtonGroup::sliders() const {
  return m->sliders;
}
int ButtonGroup::hot() const {
  return m->hot;
}
int ButtonGroup::pressed() const {
  return m->pressed;
}

int ButtonGroup::FindButton(int controlId) const {
  // -1 and 0 mean "no id"; no record is found by them.
  if (controlId == -1 || controlId == 0) return -1;
  for (int i = 0; i < int(m->records.size()); ++i) {
    if (m->records[std::size_t(i)].controlId == controlId) return i;
  }
  return -1;
}

ButtonRect ButtonGroup::GetButtonRect(int controlId) const {
  const int i = FindButton(controlId);
  return i < 0 ? ButtonRect{} : m->records[std::size_t(i)].rect;
}

int ButtonGroup::HitTest(int x, int y) const {
  return m->HitTest(x, y);
}

int ButtonGroup::HitTestArea(int x, int y) const {
  for (int i = 0; i < int(m->records.size()); ++i) {
    const ButtonRecord& r = m->records[std::size_t(i)];
    if (r.type == kButtonArea && r.rect.Contains(x, y)) return i;
  }
  return -1;
}

void ButtonGroup::SetButtonState(int index, int state, bool animate) {
  m->SetState(index, state, animate);
}

int ButtonGroup::SetChoice(int choiceGroup, int value) {
  if (!m->host.AcceptChoice(choiceGroup, value)) {
    m->host.Beep();
    return -2;
  }
  std::vector<int> changed;
  const int lastOff = ApplyChoice(m->records, choiceGroup, value, changed);
  for (int i : changed)
    m->SetState(i, RestingState(m->records[std::size_t(i)]), false);
  return lastOff;
}

void ButtonGroup::Toggle(int index, int value) {
  if (ApplyToggle(m->records, index, value)) {
    m->SetState(index, RestingState(m->records[std::size_t(index)]), false);
  }
}

bool ButtonGroup::OnMouse(MouseMessage message, int x, int y, unsigned /*keys*/) {
  if (!m->valid) return false;
  m->pointerX = x;
  m->pointerY = y;
  switch (message) {
    case MouseMessage::Move:
      return m->Move(x, y);
    case MouseMessage::LeftDown:
      return m->LeftDown(x, y);
    case MouseMessage::LeftUp:
      return m->LeftUp(x, y);
    case MouseMessage::LeftDoubleClick:
      return m->DoubleClick(x, y);
    case MouseMessage::Leave: {
      const bool had = m->hot >= 0;
      m->UpdateHot(-1);
      return had;
    }
  }
  return false;
}

bool ButtonGroup::OnTimer(int id) {
  if (!m->valid) return false;
  switch (id) {
    case kTimerAutoRepeat:
      m->AutoRepeatTick();
      return true;
    case kTimerToolTip:
      m->ToolTipTick();
      return true;
    case kTimerFade:
      m->StepFades();
      return true;
    default:
      return false;
  }
}

void ButtonGroup::LoseHighlight() {
  if (m->valid && m->pressed < 0) m->UpdateHot(-1);
}

bool ButtonGroup::IsBusy() const {
  return !m->fades.empty() || m->pressed >= 0;
}

void ButtonGroup::SetSliderValue(int slider, int value) {
  m->SetSliderValue(slider, value);
}

std::vector<DrawItem> ButtonGroup::DrawItems() const {
  std::vector<DrawItem> items;
  if (!m->valid) return items;
  const auto& records = m->records;
  for (int i = 0; i < int(records.size()); ++i) {
    const ButtonRecord& r = records[std::size_t(i)];
    if (r.type == kButtonSliderRange) continue;
    const GlobalHandle picture = m->Shown(i);
    if (picture) items.push_back({i, r.rect, picture});
  }
  // Thumbs last, over their tracks, at their sliders' values.
  for (int i = 0; i < int(records.size()); ++i) {
    const ButtonRecord& r = records[std::size_t(i)];
    if (r.type != kButtonSliderRange) continue;
    const int s = m->SliderOfRange(i);
    ButtonRect rect = r.rect;
    GlobalHandle picture = r.pictures[0];
    if (s >= 0) {
      rect = ThumbRect(m->sliders[std::size_t(s)], records);
      if (s == m->dragSlider && r.pictures[2]) picture = r.pictures[2];
    }
    if (picture && !rect.IsEmpty()) items.push_back({i, rect, picture});
  }
  return items;
}

}  // namespace tx
