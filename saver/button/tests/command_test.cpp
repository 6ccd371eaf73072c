// The button's state machine and stored properties against a recording fake
// of its platform.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "command.h"

namespace sorvane::saver {
namespace {

constexpr WindowId kOwn = 11, kParent = 22, kOther = 33;

// Records what the control asks of its platform; faces are told apart by the
// picture each present copied from.
class FakePlatform : public CommandPort, public FaceCanvas {
 public:
  FakePlatform() {
    for (int i = 0; i < kFaceCount; ++i) faces.images[std::size_t(i)] = Image(kFaceWidth, kFaceHeight, Rgb(i));
  }

  // CommandPort
  void SetMouseTimer(bool on, int ms) override { log.push_back(std::string("timer ") + (on ? "on " : "off ") + std::to_string(ms)); }
  std::optional<ScreenPoint> CursorPos() override {
    ++cursorQueries;
    return cursorReadable ? std::optional<ScreenPoint>(ScreenPoint{5, 5}) : std::nullopt;
  }
  WindowId WindowAt(ScreenPoint) override { return underCursor; }
  WindowId OwnWindow() override { return kOwn; }
  WindowId ParentWindow() override { return kParent; }
  void CaptionChanged() override {}
  CaptionFont ContainerFont() override { return containerFont; }

  // FaceCanvas
  PixelRect Size() override { return {0, 0, 73, 25}; }
  void Clear() override {}
  void GradientFillV(const GradientVertex&, const GradientVertex&) override {}
  void StretchCopy(const Image& src, const PixelRect&, const PixelRect&) override { lastSource = &src; }
  void Present() override {
    for (int i = 0; i < kFaceCount; ++i)
      if (lastSource == &faces.images[std::size_t(i)]) log.push_back(std::string("face ") + FaceName(FaceId(i)));
  }

  // Everything logged since the last call.
  std::vector<std::string> Take() {
    std::vector<std::string> out;
    out.swap(log);
    return out;
  }

  FaceSet faces;
  std::vector<std::string> log;
  WindowId underCursor = kOwn;
  bool cursorReadable = true;
  int cursorQueries = 0;
  CaptionFont containerFont{"Tahoma", 8.25, 400, 0, false, false, false};
  const Image* lastSource = nullptr;
};

using Log = std::vector<std::string>;

class CommandTest : public ::testing::Test {
 protected:
  CommandTest() : button(fake, fake, fake.faces) {
    button.Click = [this] { fake.log.push_back("Click"); };
    button.PropertyChanged = [this](const std::string& name) { fake.log.push_back("changed " + name); };
  }

  // As the dialog brings a button up: loaded from its store, sized, initialised.
  void Bring_up() {
    MemoryPropertyBag bag;
    bag.Write("caption", std::string("\x90\xDD\x92\xE8"));  // 設定
    button.UserControl_ReadProperties(bag);
    button.UserControl_Resize(1095, 375);
    button.Initialize();
    fake.Take();
  }
  void Move() { button.UserControl_MouseMove(0, 0, 100, 100); }
  void Down(int b = kLeftButton) { button.UserControl_MouseDown(b, 0, 100, 100); }
  void Up(int b = kLeftButton) { button.UserControl_MouseUp(b, 0, 100, 100); }
  void TickWithCursorOver(WindowId w) {
    fake.underCursor = w;
    button.TmrMouse_Timer();
  }

  FakePlatform fake;
  Command button;
};

TEST_F(CommandTest, NewInstanceLoadsPaintsAndStartsOnlyAtInitialize) {
  EXPECT_EQ(button.ButtonState(), 0);
  EXPECT_EQ(button.EnabledFlag(), 0);
  EXPECT_EQ(button.FirstRun(), 0);
  MemoryPropertyBag empty;
  button.UserControl_ReadProperties(empty);
  EXPECT_EQ(fake.Take(), (Log{"face Normal"}));
  EXPECT_EQ(button.EnabledFlag(), -1);
  button.UserControl_Resize(1095, 375);
  EXPECT_EQ(fake.Take(), (Log{"face Normal"}));
  button.Initialize();
  EXPECT_EQ(fake.Take(), (Log{"timer on 100"}));  // paints nothing
  EXPECT_EQ(button.ButtonState(), 1);
  EXPECT_TRUE(button.TimerOn());
}

TEST_F(CommandTest, UsualClickOnUnfocusedButton) {
  Bring_up();
  Move();
  EXPECT_EQ(fake.Take(), (Log{"face HighLight"}));
  EXPECT_EQ(button.ButtonState(), 2);
  Move();  // no change, no repaint
  EXPECT_TRUE(fake.Take().empty());
  button.UserControl_GotFocus();
  EXPECT_EQ(fake.Take(), (Log{"face Pressed"}));
  EXPECT_EQ(button.ButtonState(), 4);
  Down();
  EXPECT_EQ(fake.Take(), (Log{"face Pressed"}));
  EXPECT_TRUE(button.MouseHeld());
  Up();
  EXPECT_EQ(fake.Take(), (Log{"face HighLightSelect", "Click"}));
  EXPECT_FALSE(button.MouseHeld());
  TickWithCursorOver(kOwn);
  EXPECT_TRUE(fake.Take().empty());
  TickWithCursorOver(kParent);
  EXPECT_EQ(fake.Take(), (Log{"face Selected"}));
  EXPECT_EQ(button.ButtonState(), 3);
  button.UserControl_LostFocus();
  EXPECT_EQ(fake.Take(), (Log{"face Normal"}));
  EXPECT_EQ(button.ButtonState(), 1);
}

TEST_F(CommandTest, PressDraggedOutReleasedOutsideOrBackInsideRaisesNoClick) {
  Bring_up();
  Move();
  button.UserControl_GotFocus();
  Down();
  fake.Take();
  TickWithCursorOver(kOther);  // a window that is neither this one nor the parent
  EXPECT_EQ(fake.Take(), (Log{"face Selected"}));
  EXPECT_EQ(button.ButtonState(), 3);
  Up();  // released outside
  EXPECT_TRUE(fake.Take().empty());

  // Again, but coming back in before the release: held, so 3 stays 3.
  Move();
  EXPECT_EQ(fake.Take(), (Log{"face HighLightSelect"}));
  Down();
  TickWithCursorOver(kParent);
  fake.Take();
  Move();
  EXPECT_TRUE(fake.Take().empty());
  EXPECT_EQ(button.ButtonState(), 3);
  Up();
  EXPECT_TRUE(fake.Take().empty());
  Move();  // released now: the next move shows the hover again
  EXPECT_EQ(fake.Take(), (Log{"face HighLightSelect"}));
}

TEST_F(CommandTest, RightAndMiddleButtonsClickWithoutPressedFaceUnlessFocusedAway) {
  Bring_up();
  Move();
  fake.Take();
  for (int b : {kRightButton, kMiddleButton}) {
    Down(b);
    EXPECT_TRUE(fake.Take().empty());
    EXPECT_FALSE(button.MouseHeld());
    Up(b);
    EXPECT_EQ(fake.Take(), (Log{"Click"})) << b;
  }
  // Focused with the cursor away (state 3): no click from any button.
  button.UserControl_GotFocus();
  TickWithCursorOver(kParent);
  EXPECT_EQ(button.ButtonState(), 3);
  fake.Take();
  for (int b : {kRightButton, kMiddleButton, kLeftButton}) Up(b);
  EXPECT_TRUE(fake.Take().empty());
}

TEST_F(CommandTest, FocusByKeyboardWhileHoveredAndFocusLostWhileHovered) {
  Bring_up();
  Move();
  fake.Take();
  button.UserControl_GotFocus();  // e.g. Tab while the cursor rests on the button
  EXPECT_EQ(fake.Take(), (Log{"face Pressed"}));
  Move();
  EXPECT_TRUE(fake.Take().empty());  // the pressed face stays
  button.UserControl_LostFocus();
  EXPECT_EQ(fake.Take(), (Log{"face Normal"}));
  EXPECT_EQ(button.ButtonState(), 1);
  Move();
  EXPECT_EQ(fake.Take(), (Log{"face HighLight"}));

  button.UserControl_GotFocus();
  Up();  // a left button coming up ends the pressed look (pressed elsewhere: no click)
  EXPECT_EQ(fake.Take(), (Log{"face Pressed", "face HighLightSelect"}));
}

// A press on a label of the dialog, dragged onto the button and released there:
// the button sees only the release, which must not save and close the dialog.
TEST_F(CommandTest, ReleaseWhosePressWasMadeElsewhereRaisesNoClick) {
  Bring_up();
  Move();
  fake.Take();
  for (int b : {kLeftButton, kRightButton, kMiddleButton}) {
    Up(b);
    EXPECT_EQ(fake.Take(), (b == kLeftButton ? Log{"face Normal"} : Log{})) << b;
  }
  EXPECT_EQ(button.ButtonState(), 2);
  // Each release consumes its own press: one press, one click, however many releases.
  for (int b : {kLeftButton, kRightButton, kMiddleButton}) {
    Down(b);
    Up(b);
    Up(b);
    Log got = fake.Take();
    EXPECT_EQ(std::count(got.begin(), got.end(), "Click"), 1) << b;
  }
  // Presses of two buttons: each release clicks once, the other button's press stays.
  Down(kLeftButton);
  Down(kRightButton);
  Up(kLeftButton);
  Up(kRightButton);
  Up(kRightButton);
  Log got = fake.Take();
  EXPECT_EQ(std::count(got.begin(), got.end(), "Click"), 2);
}

TEST_F(CommandTest, DisabledButtonIgnoresMouseAndFocusButKeepsPolling) {
  Bring_up();
  button.Enabled(false);
  EXPECT_EQ(fake.Take(), (Log{"changed Enabled", "face Disable"}));
  EXPECT_FALSE(button.LblMsg().enabledLook);
  Move();
  button.UserControl_GotFocus();
  Down();
  Up();
  button.UserControl_LostFocus();
  TickWithCursorOver(kParent);
  EXPECT_TRUE(fake.Take().empty());
  EXPECT_EQ(button.ButtonState(), 1);
  EXPECT_TRUE(button.TimerOn());
  EXPECT_EQ(fake.cursorQueries, 1);
  button.UserControl_Resize(435, 315);
  EXPECT_EQ(fake.Take(), (Log{"face Disable"}));
  button.Enabled(true);
  EXPECT_EQ(fake.Take(), (Log{"changed Enabled", "face Normal"}));
  EXPECT_TRUE(button.LblMsg().enabledLook);
}

TEST_F(CommandTest, BeforeInitializeHoverIsIgnoredAndFocusSwallowsTheClick) {
  MemoryPropertyBag empty;
  button.UserControl_ReadProperties(empty);
  button.UserControl_Resize(1095, 375);
  fake.Take();
  Move();
  button.TmrMouse_Timer();  // the timer is off: no poll
  EXPECT_TRUE(fake.Take().empty());
  EXPECT_EQ(fake.cursorQueries, 0);
  button.UserControl_GotFocus();
  EXPECT_EQ(fake.Take(), (Log{"face Selected"}));
  Down();
  Up();
  EXPECT_EQ(fake.Take(), (Log{"face Pressed"}));  // state 3: no Click
}

TEST_F(CommandTest, UnreadableCursorLeavesTheHoverAlone) {
  Bring_up();
  Move();
  fake.Take();
  fake.cursorReadable = false;
  TickWithCursorOver(kParent);
  EXPECT_TRUE(fake.Take().empty());
  EXPECT_EQ(button.ButtonState(), 2);
}

TEST_F(CommandTest, FirstReadOfEnabledOnNewInstanceEnablesIt) {
  button.UserControl_Resize(1095, 375);
  fake.Take();
  EXPECT_TRUE(button.Enabled());
  EXPECT_EQ(button.FirstRun(), 1);
  EXPECT_EQ(button.EnabledFlag(), -1);
  EXPECT_EQ(fake.Take(), (Log{"face Normal"}));
  EXPECT_TRUE(button.Enabled());  // second read: only the enabled look
  EXPECT_EQ(fake.Take(), (Log{"face Normal"}));
}

TEST_F(CommandTest, WhileFirstRunIsZeroTheCaptionColourFallsBackToBlack) {
  MemoryPropertyBag bag;
  bag.Write("FirstRun", std::string("0"));
  bag.Write("FontColour", std::int64_t(0x0000FF));
  button.UserControl_ReadProperties(bag);
  EXPECT_EQ(button.FirstRun(), 0);
  EXPECT_EQ(button.LblMsg().colour, 0u);  // the load's RefreshLook reset it
  button.FontColour(0x00FF00);
  EXPECT_EQ(button.LblMsg().colour, 0u);
  button.Enabled();  // FirstRun becomes 1
  button.FontColour(0x00FF00);
  EXPECT_EQ(button.LblMsg().colour, 0x00FF00u);
  EXPECT_EQ(button.FontColour(), 0x00FF00u);
}

TEST_F(CommandTest, SettersNotifyAndRepaintAsEachPropertySays) {
  Bring_up();
  button.Caption("\xB7\xAC\xDD\xBE\xD9");  // ｷｬﾝｾﾙ
  EXPECT_EQ(fake.Take(), (Log{"changed Caption"}));  // no repaint
  EXPECT_EQ(button.Caption(), "\xB7\xAC\xDD\xBE\xD9");
  CaptionFont bold = DefaultCaptionFont();
  bold.weight = 700;
  button.Font(bold);
  EXPECT_EQ(fake.Take(), (Log{"changed Font"}));
  EXPECT_EQ(button.Font(), bold);
  button.FontColour(0x0000FF);
  EXPECT_EQ(fake.Take(), (Log{"face Normal", "changed FontColour"}));
  button.Visible(0);
  EXPECT_EQ(fake.Take(), (Log{"changed Visible"}));
  EXPECT_FALSE(button.Opaque());
  EXPECT_EQ(button.Visible(), 0);
  EXPECT_TRUE(fake.Take().empty());
  button.Visible(7);
  EXPECT_EQ(fake.Take(), (Log{"face Normal", "changed Visible"}));
  EXPECT_TRUE(button.Opaque());
  EXPECT_EQ(button.Visible(), 255);
  EXPECT_EQ(fake.Take(), (Log{"face Normal"}));
}

// ---- stored properties ----

// A store that remembers the order of reads and writes.
class RecordingBag : public MemoryPropertyBag {
 public:
  std::optional<PropertyValue> Read(const std::string& key) const override {
    reads.push_back(key);
    return MemoryPropertyBag::Read(key);
  }
  void Write(const std::string& key, const PropertyValue& v) override {
    writes.push_back(key);
    MemoryPropertyBag::Write(key, v);
  }
  mutable std::vector<std::string> reads;
  std::vector<std::string> writes;
};

TEST_F(CommandTest, CaptionCommandIsNotStoredAndComesBackAsCommand1) {
  RecordingBag first;
  button.UserControl_ReadProperties(first);
  button.Caption("Command");
  RecordingBag saved;
  button.UserControl_WriteProperties(saved);
  EXPECT_TRUE(saved.writes.empty());

  FakePlatform fake2;
  Command reloaded(fake2, fake2, fake2.faces);
  reloaded.UserControl_ReadProperties(saved);
  EXPECT_EQ(reloaded.Caption(), "Command1");

  reloaded.Caption("Command1");
  MemoryPropertyBag again;
  reloaded.UserControl_WriteProperties(again);
  ASSERT_EQ(again.Entries().size(), 1u);
  Command third(fake2, fake2, fake2.faces);
  third.UserControl_ReadProperties(again);
  EXPECT_EQ(third.Caption(), "Command1");
}

TEST_F(CommandTest, AbsentKeysTakeTheirReadDefaultsInLoadOrder) {
  RecordingBag bag;
  button.FontColour(0x123456);  // would be replaced by the default "0"
  button.UserControl_ReadProperties(bag);
  EXPECT_EQ(bag.reads, (std::vector<std::string>{"Enabled", "Caption", "Font", "FirstRun", "FontColour", "Visible"}));
  EXPECT_EQ(button.EnabledFlag(), -1);
  EXPECT_EQ(button.Caption(), "Command1");
  EXPECT_EQ(button.Font(), fake.containerFont);
  EXPECT_EQ(button.FirstRun(), 1);
  EXPECT_EQ(button.LblMsg().colour, 0u);
  EXPECT_TRUE(button.Opaque());
}

TEST_F(CommandTest, KeysMatchWhateverTheirCase) {
  MemoryPropertyBag bag;
  bag.Write("caption", std::string("\x90\xDD\x92\xE8"));
  bag.Write("font", DefaultCaptionFont());
  bag.Write("ENABLED", false);
  bag.Write("fontcolour", std::int64_t(0xFF));
  bag.Write("vIsIbLe", std::int64_t(0));
  button.UserControl_ReadProperties(bag);
  EXPECT_EQ(button.Caption(), "\x90\xDD\x92\xE8");
  EXPECT_EQ(button.Font(), DefaultCaptionFont());
  EXPECT_EQ(button.EnabledFlag(), 0);
  EXPECT_EQ(button.LblMsg().colour, 0xFFu);
  EXPECT_FALSE(button.Opaque());
  // A write replaces the stored key of any case instead of adding a second one.
  bag.Write("Caption", std::string("x"));
  EXPECT_EQ(bag.Entries().size(), 5u);
  EXPECT_TRUE(KeysMatch("\x83\x4E", "\x83\x4E"));   // ク: the trail byte is no letter to fold
  EXPECT_FALSE(KeysMatch("\x83\x4E", "\x83\x6E"));  // ク vs ハ differ only in case of the trail byte
}

TEST_F(CommandTest, SaveWritesNonDefaultsInItsOrderAndEnablesANewInstance) {
  RecordingBag saved;
  MemoryPropertyBag stored;
  stored.Write("Enabled", false);
  stored.Write("FirstRun", std::int64_t(2));
  stored.Write("FontColour", std::int64_t(0xFF));
  stored.Write("Visible", std::int64_t(0));
  stored.Write("Caption", std::string("abc"));
  stored.Write("Font", DefaultCaptionFont());
  button.UserControl_ReadProperties(stored);
  button.UserControl_WriteProperties(saved);
  EXPECT_EQ(saved.writes,
            (std::vector<std::string>{"Enabled", "Caption", "FirstRun", "Font", "FontColour", "Visible"}));
  EXPECT_EQ(std::get<bool>(*saved.Read("Enabled")), false);
  EXPECT_EQ(std::get<std::int64_t>(*saved.Read("Visible")), 0);

  // A never-loaded instance: reading Enabled for the save sets FirstRun, so
  // neither key differs from its default.
  FakePlatform fake2;
  Command fresh(fake2, fake2, fake2.faces);
  fresh.Font(fake2.containerFont);
  MemoryPropertyBag out;
  fresh.UserControl_WriteProperties(out);
  EXPECT_TRUE(out.Entries().empty());
  EXPECT_EQ(fresh.FirstRun(), 1);
  EXPECT_EQ(fresh.EnabledFlag(), -1);
}

TEST_F(CommandTest, UnreadableStoredValuesAreSkipped) {
  MemoryPropertyBag bag;
  bag.Write("Enabled", std::string("maybe"));
  bag.Write("FirstRun", std::string("300"));
  bag.Write("FontColour", std::string("red"));
  bag.Write("Visible", std::int64_t(5));
  bag.Write("Font", std::string("Tahoma"));
  bag.Write("Caption", std::string("ok"));
  button.UserControl_ReadProperties(bag);
  EXPECT_EQ(button.Caption(), "ok");
  EXPECT_EQ(button.EnabledFlag(), 0);  // as it was
  EXPECT_EQ(button.FirstRun(), 0);
  EXPECT_EQ(button.Font(), DefaultCaptionFont());
  EXPECT_TRUE(button.Opaque());
}

}  // namespace
}  // namespace sorvane::saver
