// The panel's input path without a window: GLUT's events fed in the order X
// delivers them (a key's press and release before one frame, the modifier
// keys as special keys, each event with the modifiers held before it), then
// ImGui frames of the panel, and what reached the widgets and the quit keys.
#include <gtest/gtest.h>

#include <GL/freeglut.h>

#include <cstring>
#include <string>
#include <vector>

#include <imgui.h>
#include <imgui_impl_glut.h>

#include "common/near.h"
#include "panel/control_panel.h"
#include "panel/panel_input.h"
#include "parameters/parameters.h"
#include "tree/tree_graphics.h"

namespace {

std::string keysNotForPanel;

void recordKey(unsigned char key, int, int)
{
    keysNotForPanel += char(key);
}

class PanelInputTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetLiveParameters();
        glslAvailable = hardwareAcceleration = false;
        context = ImGui::CreateContext();
        ImGuiIO& io = ImGui::GetIO();
        io.IniFilename = nullptr;
        io.DisplaySize = ImVec2(460.0f, 933.0f);
        io.DeltaTime = 1.0f / 60.0f;
        ImGui_ImplGLUT_Init();  // the key map of the viewer
        unsigned char* pixels;
        int w, h;
        io.Fonts->GetTexDataAsRGBA32(&pixels, &w, &h);
        applyControlPanelStyle();
        resetPanelInput();
        keysNotForPanel.clear();
        keyNotForPanel = recordKey;
        frames(2);
    }
    void TearDown() override
    {
        resetPanelInput();
        ImGui::DestroyContext(context);
        resetLiveParameters();
        lightIntensitySpinnerEnabled = true;
    }

    // One frame of the controls window, as its display callback runs it.
    void frames(int n = 1)
    {
        for (int i = 0; i < n; ++i) {
            takePanelInput();
            ImGui::NewFrame();
            buildControlPanel();
            ImGui::Render();
        }
    }
    static ImVec2 target(const char* path, float fromLeft = 6.0f)
    {
        float r[4] = {0, 0, 0, 0};
        EXPECT_TRUE(controlPanelItemRect(path, r)) << path;
        return ImVec2(r[0] + fromLeft, 0.5f * (r[1] + r[3]));
    }
    // Half a second without input: the next press is no double click.
    void pause()
    {
        ImGui::GetIO().DeltaTime = 0.5f;
        frames();
        ImGui::GetIO().DeltaTime = 1.0f / 60.0f;
    }
    void moveTo(ImVec2 p) { panelMouseMove(int(p.x), int(p.y)); }
    void button(bool down, ImVec2 p, int modifiers = 0)
    {
        panelMouseButton(GLUT_LEFT_BUTTON, down ? GLUT_DOWN : GLUT_UP, modifiers, int(p.x), int(p.y));
    }
    // Press and release, then a frame: both in one frame, as a tool clicks.
    void click(const char* path, int modifiers = 0)
    {
        pause();
        ImVec2 p = target(path);
        moveTo(p);
        frames();
        button(true, p, modifiers);
        button(false, p, modifiers);
        frames(3);
    }
    // The field grabbed, then dx pixels to the right, 5 per frame; the
    // modifiers held meanwhile (X reports them with the button events).
    void startDrag(const char* path, int dx, int modifiers = 0)
    {
        pause();
        ImVec2 p = target(path);
        moveTo(p);
        frames();
        dragModifiers = modifiers;
        button(true, p, modifiers);
        frames();
        for (int moved = 5; moved <= dx; moved += 5) {
            moveTo(ImVec2(p.x + moved, p.y));
            frames();
        }
        dragEnd = ImVec2(p.x + dx, p.y);
    }
    void endDrag()
    {
        button(false, dragEnd, dragModifiers);
        frames(2);
    }
    float drag(const char* path, float& value, int dx, int modifiers = 0)
    {
        float before = value;
        startDrag(path, dx, modifiers);
        endDrag();
        return value - before;
    }
    // A key typed as X delivers it: press and release before the next frame.
    static void key(unsigned char c, int modifiers = 0)
    {
        panelKeyDown(c, modifiers, 0, 0);
        panelKeyUp(c, modifiers, 0, 0);
    }
    static void special(int k, bool down, int modifiersBefore)
    {
        if (down)
            panelSpecialDown(k, modifiersBefore, 0, 0);
        else
            panelSpecialUp(k, modifiersBefore, 0, 0);
    }
    void type(const std::string& text)
    {
        for (char c : text)
            key((unsigned char)c);
        frames(2);
    }
    void enter()
    {
        key(13);
        frames(2);
    }

    ImGuiContext* context = nullptr;
    ImVec2 dragEnd;
    int dragModifiers = 0;
};

}  // namespace

TEST_F(PanelInputTest, QuitKeysGoToThePanelWhileAWidgetIsActive)
{
    // A spinner dragged (the keys come from the viewport, under the pointer).
    startDrag("wind/wind velocity", 30);
    key('q');
    key(27);
    frames(2);
    EXPECT_EQ(keysNotForPanel, "");
    endDrag();
    EXPECT_GT(windVelocity, 4.0f) << "the drag went on";
    key('q');
    frames();
    EXPECT_EQ(keysNotForPanel, "q") << "no widget active: the quit key";

    // "q" in the same frame as the click into "File" (typed while the button
    // is down, or right after its release): it is typed into the field. The
    // click lands left of the name: "q" goes in front.
    keysNotForPanel.clear();
    std::strcpy(treeFileName, "a.tre");
    for (bool whileDown : {true, false}) {
        pause();
        ImVec2 p = target("file/File", 2.0f);
        moveTo(p);
        frames();
        button(true, p);
        if (whileDown)
            key('q');
        button(false, p);
        if (!whileDown)
            key('q');
        frames(4);
        EXPECT_EQ(keysNotForPanel, "");
        enter();
    }
    EXPECT_STREQ(treeFileName, "qqa.tre");
    EXPECT_EQ(keysNotForPanel, "");

    // Enter then "q" before one frame: the field is left first, then "q" quits.
    click("file/File");
    type("b");
    key(13);
    key('q');
    frames(3);
    EXPECT_STREQ(treeFileName, "bqqa.tre");
    EXPECT_EQ(keysNotForPanel, "q");
}

TEST_F(PanelInputTest, ModifiersHoldFromTheirPressToTheirRelease)
{
    const ImGuiIO& io = ImGui::GetIO();
    // freeglut gives the state before the event: none on the press.
    special(GLUT_KEY_SHIFT_L, true, 0);
    frames();
    EXPECT_TRUE(io.KeyShift);
    special(GLUT_KEY_SHIFT_L, false, GLUT_ACTIVE_SHIFT);
    frames();
    EXPECT_FALSE(io.KeyShift);

    // Both Ctrl keys: released one by one, Ctrl stays until the second.
    special(GLUT_KEY_CTRL_L, true, 0);
    special(GLUT_KEY_CTRL_R, true, GLUT_ACTIVE_CTRL);
    special(GLUT_KEY_CTRL_L, false, GLUT_ACTIVE_CTRL);
    frames(2);
    EXPECT_TRUE(io.KeyCtrl);
    special(GLUT_KEY_CTRL_R, false, GLUT_ACTIVE_CTRL);
    frames();
    EXPECT_FALSE(io.KeyCtrl);

    // Alt tapped during a drag, within one frame: ImGui sees it for a frame.
    startDrag("wind/wind velocity", 10);
    special(GLUT_KEY_ALT_L, true, 0);
    special(GLUT_KEY_ALT_L, false, GLUT_ACTIVE_ALT);
    frames();
    EXPECT_TRUE(io.KeyAlt);
    frames();
    EXPECT_FALSE(io.KeyAlt);
    endDrag();

    // A modifier released while no window of ours had the keyboard: the next
    // event's state puts it right.
    special(GLUT_KEY_SHIFT_R, true, 0);
    frames();
    ASSERT_TRUE(io.KeyShift);
    key('x', 0);
    frames();
    EXPECT_FALSE(io.KeyShift);
}

TEST_F(PanelInputTest, ShiftDragsFasterAndAnAltTapLeavesTheSpeedAlone)
{
    float plain = drag("wind/wind velocity", windVelocity, 30);
    ASSERT_GT(plain, 1.0f);

    windVelocity = 4.0f;
    special(GLUT_KEY_SHIFT_L, true, 0);
    float fast = drag("wind/wind velocity", windVelocity, 30, GLUT_ACTIVE_SHIFT);
    special(GLUT_KEY_SHIFT_L, false, GLUT_ACTIVE_SHIFT);
    EXPECT_TRUE(near(fast, 10.0 * plain, 1e-3)) << fast << " against " << plain;

    windVelocity = 4.0f;
    special(GLUT_KEY_ALT_L, true, 0);
    frames();
    special(GLUT_KEY_ALT_L, false, GLUT_ACTIVE_ALT);
    frames();
    float afterAlt = drag("wind/wind velocity", windVelocity, 30);
    EXPECT_TRUE(near(afterAlt, plain, 1e-4)) << "the spinner seems stuck: " << afterAlt;
}

TEST_F(PanelInputTest, CtrlClickOnASpinnerOpensTextEntry)
{
    special(GLUT_KEY_CTRL_L, true, 0);
    click("wind/wind velocity", GLUT_ACTIVE_CTRL);
    special(GLUT_KEY_CTRL_L, false, GLUT_ACTIVE_CTRL);
    frames();
    // The field's text is selected: typing replaces it.
    type("7.5");
    enter();
    EXPECT_EQ(windVelocity, 7.5f);
}

TEST_F(PanelInputTest, CtrlAInFileIsNeverLost)
{
    // Ctrl held, then press and release of "a" before one frame, Ctrl let go
    // between them or after them (GLUT then reports the release as "a" or as
    // Ctrl+A).
    for (bool ctrlFirst : {true, false}) {
        std::strcpy(treeFileName, "old.tre");
        frames();
        click("file/File");
        special(GLUT_KEY_CTRL_L, true, 0);
        frames();
        panelKeyDown(1, GLUT_ACTIVE_CTRL, 0, 0);
        if (ctrlFirst) {
            special(GLUT_KEY_CTRL_L, false, GLUT_ACTIVE_CTRL);
            panelKeyUp('a', 0, 0, 0);
        } else {
            panelKeyUp(1, GLUT_ACTIVE_CTRL, 0, 0);
            special(GLUT_KEY_CTRL_L, false, GLUT_ACTIVE_CTRL);
        }
        type("new.tre");
        enter();
        EXPECT_STREQ(treeFileName, "new.tre") << (ctrlFirst ? "Ctrl released first" : "a released first");
    }
}

TEST_F(PanelInputTest, LeavingTheFileFieldCommitsAChangedName)
{
    std::strcpy(treeFileName, "old.tre");
    frames();
    click("file/File");
    special(GLUT_KEY_CTRL_L, true, 0);
    key(1, GLUT_ACTIVE_CTRL);
    special(GLUT_KEY_CTRL_L, false, GLUT_ACTIVE_CTRL);
    type("left.tre");
    EXPECT_STREQ(treeFileName, "old.tre");
    click("file/Reload file");
    EXPECT_STREQ(treeFileName, "left.tre");

    // Escape puts the name back: leaving then commits nothing.
    click("file/File");
    type("x");
    key(27);
    frames(2);
    click("wind/show glyphs");
    EXPECT_STREQ(treeFileName, "left.tre");
    // Text typed in the field is no key for the viewer.
    EXPECT_EQ(keysNotForPanel, "");
}
