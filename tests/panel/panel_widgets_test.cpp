// The panel's widgets driven through ImGui without a window: a headless ImGui
// context of the controls window's size, the mouse and keys set directly on
// ImGui's input, and the effects on the live parameters.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include <imgui.h>

#include "common/near.h"
#include "panel/control_panel.h"
#include "parameters/parameters.h"
#include "tree/tree_graphics.h"

namespace {

constexpr float WIDTH = 460.0f, HEIGHT = 933.0f;

// Every widget, column by column, top to bottom, named by its panels.
const std::vector<std::string> FIRST_COLUMN = {
    "file/File", "file/Reload file",
    "animation control/Frame-by-frame mode", "animation control/Frame step",
    "animation control/Reset tree",
    "wind/Reset windfield", "wind/show glyphs", "wind/wind velocity", "wind/Wind",
    "Display options/diffuse texturess", "Display options/Lighting",
    "Display options/Light intensity", "Display options/Show leaves",
    "Display options/Show segments", "Display options/Show face normals",
    "Display options/Show segments' local CS", "Display options/Show scene elements",
    "Camera control/Reset camera", "Camera control/projection mode/perspective",
    "Camera control/projection mode/orthographic",
    "acceleration",
    "Wind field/Turbulence", "Wind field/Intensity", "Wind field/Length scale", "Wind field/Gusts",
    "Wind field/Gust strength", "Wind field/Gust interval", "Wind field/Seed", "Wind field/Response time",
};
const std::vector<std::string> SECOND_COLUMN = {
    "Quit",
    "Bending model/classic", "Bending model/physical", "Bending model/Fixed rate",
    "Bending model/Material properties/Density", "Bending model/Material properties/Rigidity",
    "Bending model/Leaves/Leaves' surface",
    "Bending model/Leaves/Wind force/Apply", "Bending model/Leaves/Wind force/Scale",
    "Bending model/Leaves/Wind force/Propagate", "Bending model/Leaves/Wind force/Show glyphs",
    "Bending model/Leaves/Shiver/Apply", "Bending model/Leaves/Shiver/Shiver speed",
    "Bending model/Leaves/Shiver/Shiver intensity",
    "Bending model/Segments/Show velocity",
    "Bending model/Segments/Wind force/Apply", "Bending model/Segments/Wind force/Scale",
    "Bending model/Segments/Wind force/Show glyphs",
    "Bending model/Segments/Restoration force/Apply", "Bending model/Segments/Restoration force/Scale",
    "Bending model/Segments/Restoration force/Show glyphs",
    "Bending model/Segments/Backpropagated force/Apply",
    "Bending model/Segments/Backpropagated force/Scale",
    "Bending model/Segments/Backpropagated force/Show glyphs",
    "Bending model/Segments/Damping force/Apply", "Bending model/Segments/Damping force/Scale",
    "Bending model/Segments/Damping force/Show glyphs",
    "Bending model/Segments/animation LOD/Bend min (forward)",
    "Bending model/Segments/animation LOD/Bend max (forward)",
    "Bending model/Segments/animation LOD/Bend min (reverse)",
    "Bending model/Segments/animation LOD/Bend max (reverse)",
    "Bending model/Segments/animation LOD/Bend every n-th (forward)",
    "Bending model/Segments/animation LOD/Bend every n-th (reverse)",
    "Bending model/Segments/animation LOD/Assert bend min (forward)",
    "Bending model/Segments/animation LOD/Assert bend min (reverse)",
};
const std::string LOD = "Bending model/Segments/animation LOD/";
// The physical model's group, shown in place of the classic model's groups.
const std::string PHYSICAL = "Bending model/Physical model/";
const std::vector<std::string> PHYSICAL_GROUP = {
    "Quit", "Bending model/classic", "Bending model/physical",
    PHYSICAL + "Young's modulus (GPa)", PHYSICAL + "Wood density (kg/m3)", PHYSICAL + "Drag coefficient",
    PHYSICAL + "Air density (kg/m3)", PHYSICAL + "Leaf mass (kg)", PHYSICAL + "Leaf area (m2)",
    PHYSICAL + "Damping ratio", PHYSICAL + "Gravity", PHYSICAL + "Rate (Hz)",
};

class PanelWidgetsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetLiveParameters();
        glslAvailable = hardwareAcceleration = false;
        context = ImGui::CreateContext();
        ImGuiIO& io = ImGui::GetIO();
        io.IniFilename = nullptr;
        io.DisplaySize = ImVec2(WIDTH, HEIGHT);
        io.DeltaTime = 1.0f / 60.0f;
        io.KeyMap[ImGuiKey_Enter] = 13;
        io.KeyMap[ImGuiKey_Backspace] = 8;
        unsigned char* pixels;
        int w, h;
        io.Fonts->GetTexDataAsRGBA32(&pixels, &w, &h);
        applyControlPanelStyle();
        frame();
    }
    void TearDown() override
    {
        ImGui::DestroyContext(context);
        resetLiveParameters();
        glslAvailable = hardwareAcceleration = false;
        lightIntensitySpinnerEnabled = true;
    }

    void frame()
    {
        ImGui::NewFrame();
        buildControlPanel();
        ImGui::Render();
    }
    static std::vector<float> rect(const std::string& path)
    {
        std::vector<float> r(4, -1.0f);
        EXPECT_TRUE(controlPanelItemRect(path.c_str(), r.data())) << path;
        return r;
    }
    // A point inside the widget: its field, left of any label.
    static ImVec2 target(const std::string& path, float fromLeft = 6.0f)
    {
        std::vector<float> r = rect(path);
        return ImVec2(r[0] + fromLeft, 0.5f * (r[1] + r[3]));
    }
    void moveTo(ImVec2 p)
    {
        ImGui::GetIO().MousePos = p;
        frame();
    }
    void press(bool down)
    {
        ImGui::GetIO().MouseDown[0] = down;
        frame();
    }
    // Half a second without input: the next press is no double click.
    void pause()
    {
        ImGui::GetIO().DeltaTime = 0.5f;
        frame();
        ImGui::GetIO().DeltaTime = 1.0f / 60.0f;
    }
    void click(const std::string& path)
    {
        pause();
        moveTo(target(path));
        press(true);
        press(false);
    }
    // Drags horizontally by dx pixels in steps of 5 pixels.
    void drag(const std::string& path, float dx)
    {
        ImVec2 p = target(path);
        pause();
        moveTo(p);
        press(true);
        for (float moved = 0; std::fabs(moved) < std::fabs(dx);) {
            float step = dx > 0 ? std::min(5.0f, dx - moved) : std::max(-5.0f, dx - moved);
            moved += step;
            moveTo(ImVec2(p.x + moved, p.y));
        }
        press(false);
    }
    void type(const std::string& text)
    {
        for (char c : text) {
            ImGui::GetIO().AddInputCharacter((unsigned char)c);
            frame();
        }
    }
    void pressEnter()
    {
        ImGui::GetIO().KeysDown[13] = true;
        frame();
        ImGui::GetIO().KeysDown[13] = false;
        frame();
    }

    ImGuiContext* context = nullptr;
};

}  // namespace

TEST_F(PanelWidgetsTest, EveryWidgetIsShownInItsColumnInOrderAndFitsTheWindow)
{
    float firstColumnRight = 0.0f;
    for (const auto* column : {&FIRST_COLUMN, &SECOND_COLUMN}) {
        float previousTop = -1.0f;
        for (const std::string& path : *column) {
            std::vector<float> r = rect(path);
            EXPECT_GT(r[1], previousTop) << path << " is not below the widget before it";
            previousTop = r[1];
            // Nothing is cut off by the window's edges (the label included).
            EXPECT_GE(r[0], 0.0f) << path;
            EXPECT_LE(r[2], WIDTH) << path;
            EXPECT_LE(r[3], HEIGHT) << path;
            if (column == &FIRST_COLUMN)
                firstColumnRight = std::max(firstColumnRight, r[2]);
            else
                EXPECT_GT(r[0], firstColumnRight) << path << " overlaps the first column";
        }
    }
    float unknown[4];
    EXPECT_FALSE(controlPanelItemRect("Display options/Lighting2", unknown));
}

TEST_F(PanelWidgetsTest, CheckboxesWriteTheirOwnParameterEvenWithSharedLabels)
{
    click("Bending model/Segments/Damping force/Apply");
    EXPECT_EQ(dampingApply, 0);
    EXPECT_EQ(restorationApply, 1);
    EXPECT_EQ(segmentWindApply, 1);
    EXPECT_EQ(leafWindApply, 1);
    EXPECT_EQ(shiverApply, 0);
    click("Bending model/Leaves/Shiver/Apply");
    EXPECT_EQ(shiverApply, 1);
    EXPECT_EQ(leafWindApply, 1);
    click("Bending model/Leaves/Wind force/Show glyphs");
    EXPECT_EQ(showLeafWindGlyphs, 1);
    EXPECT_EQ(showSegmentWindGlyphs, 0);
    click("Display options/Show scene elements");
    EXPECT_EQ(showSceneElements, 0);
    click("Display options/Show scene elements");
    EXPECT_EQ(showSceneElements, 1);
}

TEST_F(PanelWidgetsTest, LightingOffGreysOutLightIntensity)
{
    click("Display options/Lighting");
    EXPECT_EQ(lightingEnabled, 0);
    EXPECT_FALSE(lightIntensitySpinnerEnabled);
    drag("Display options/Light intensity", 40);
    EXPECT_EQ(lightIntensity, 1.0f);  // disabled: the drag does nothing

    click("Display options/Lighting");
    EXPECT_EQ(lightingEnabled, 1);
    EXPECT_TRUE(lightIntensitySpinnerEnabled);
    drag("Display options/Light intensity", 40);
    EXPECT_GT(lightIntensity, 1.0f);
}

TEST_F(PanelWidgetsTest, FloatSpinnersDragAtTheirSpeedAndClampToTheirRange)
{
    // The difference of two drags cancels ImGui's start-of-drag threshold.
    drag("wind/wind velocity", 20);
    float after20 = windVelocity;
    windVelocity = 4.0f;
    drag("wind/wind velocity", 70);
    EXPECT_TRUE(near(windVelocity - after20, 50 * 0.2, 1e-4));

    const std::string intensity = "Bending model/Leaves/Shiver/Shiver intensity";
    drag(intensity, 20);
    after20 = shiverIntensity;
    shiverIntensity = 1.0f;
    drag(intensity, 70);
    EXPECT_TRUE(near(shiverIntensity - after20, 50 * 0.01, 1e-4));

    drag("Bending model/Material properties/Density", 700);
    EXPECT_EQ(density, 100.0f);
    drag("Bending model/Material properties/Rigidity", -100);
    EXPECT_EQ(rigidity, 0.0f);

    // "Reset windfield" sets 4.0; the spinner goes on from there.
    click("wind/Reset windfield");
    EXPECT_EQ(windVelocity, 4.0f);
    drag("wind/wind velocity", -300);
    EXPECT_EQ(windVelocity, 0.0f);
}

// The wind field's group: its checkboxes switch the field's parts, its
// spinners move at their speeds within the table's ranges, and the seed is
// taken on Enter (a new seed builds a new pattern, so not while typing).
TEST_F(PanelWidgetsTest, WindFieldGroupWritesTheFieldsParameters)
{
    click("Wind field/Turbulence");
    EXPECT_EQ(windTurbulence, 1);
    EXPECT_EQ(windGusts, 0);
    click("Wind field/Gusts");
    EXPECT_EQ(windGusts, 1);
    EXPECT_EQ(windTurbulence, 1);

    drag("Wind field/Intensity", 20);
    float after20 = turbulenceIntensity;
    turbulenceIntensity = 0.2f;
    drag("Wind field/Intensity", 70);
    EXPECT_TRUE(near(turbulenceIntensity - after20, 50 * 0.01, 1e-4));
    drag("Wind field/Intensity", 1000);
    EXPECT_EQ(turbulenceIntensity, 2.0f);  // the table's maximum
    drag("Wind field/Length scale", -1000);
    EXPECT_EQ(turbulenceScale, 0.1f);  // its minimum: a scale of 0 has no meaning
    drag("Wind field/Gust interval", 30);
    EXPECT_GT(gustInterval, 20.0f);
    drag("Wind field/Gust strength", 30);
    EXPECT_GT(gustStrength, 0.5f);
    drag("Wind field/Response time", -300);
    EXPECT_EQ(windResponseTime, 0.0f);

    ImGuiIO& io = ImGui::GetIO();
    io.KeyMap[ImGuiKey_A] = 'a';
    click("Wind field/Seed");
    io.KeyCtrl = true;  // Ctrl+A: select the whole field first
    io.KeysDown['a'] = true;
    frame();
    io.KeysDown['a'] = false;
    io.KeyCtrl = false;
    frame();
    type("42");
    EXPECT_EQ(windSeed, 1) << "taken only on Enter";
    pressEnter();
    EXPECT_EQ(windSeed, 42);
}

// The radio group picks the model; the physical model's group takes the
// place of the classic model's groups, fits the window and writes its
// parameters within the table's ranges; the classic model's fixed rate is
// a clamped spinner of whole hertz.
TEST_F(PanelWidgetsTest, BendingModelGroupSwitchesTheModelsGroups)
{
    drag("Bending model/Fixed rate", 30);
    EXPECT_GT(fixedRate, 0.0f);
    drag("Bending model/Fixed rate", -2000);
    EXPECT_EQ(fixedRate, 0.0f);  // off

    click("Bending model/physical");
    EXPECT_EQ(bendingModel, 1);
    frame();
    float rect4[4];
    EXPECT_FALSE(controlPanelItemRect("Bending model/Material properties/Density", rect4));
    EXPECT_FALSE(controlPanelItemRect("Bending model/Fixed rate", rect4));
    float previousTop = -1.0f;
    for (const std::string& path : PHYSICAL_GROUP) {
        std::vector<float> r = rect(path);
        EXPECT_GT(r[1], previousTop) << path << " is not below the widget before it";
        previousTop = r[1];
        EXPECT_LE(r[2], WIDTH) << path;
        EXPECT_LE(r[3], HEIGHT) << path;
    }

    drag(PHYSICAL + "Young's modulus (GPa)", 20);
    EXPECT_TRUE(near(youngModulus, 6.0 + 20 * 0.05, 1e-4));
    drag(PHYSICAL + "Young's modulus (GPa)", -1000);
    EXPECT_EQ(youngModulus, 0.1f);  // the table's minimum: no wood without stiffness
    drag(PHYSICAL + "Leaf mass (kg)", 10);
    EXPECT_TRUE(near(leafMass, 0.004 + 10 * 0.001, 1e-5));
    drag(PHYSICAL + "Leaf area (m2)", -1000);
    EXPECT_EQ(leafArea, 0.0f);
    drag(PHYSICAL + "Wood density (kg/m3)", 10);
    EXPECT_TRUE(near(woodDensity, 820.0, 1e-4));
    drag(PHYSICAL + "Damping ratio", 1000);
    EXPECT_EQ(structuralDamping, 1.0f);
    drag(PHYSICAL + "Rate (Hz)", -1000);
    EXPECT_EQ(physicsRate, 30.0f);
    drag(PHYSICAL + "Drag coefficient", 10);
    EXPECT_TRUE(near(dragCoefficient, 1.3, 1e-4));
    drag(PHYSICAL + "Air density (kg/m3)", -1000);
    EXPECT_EQ(airDensity, 0.0f);
    click(PHYSICAL + "Gravity");
    EXPECT_EQ(gravityApply, 1);

    click("Bending model/classic");
    EXPECT_EQ(bendingModel, 0);
    frame();
    EXPECT_FALSE(controlPanelItemRect((PHYSICAL + "Gravity").c_str(), rect4));
    EXPECT_TRUE(controlPanelItemRect("Bending model/Material properties/Density", rect4));
}

TEST_F(PanelWidgetsTest, LodSpinnersAreClampedIntegers)
{
    drag(LOD + "Bend every n-th (forward)", -200);
    EXPECT_EQ(bendEveryNthForward, 1);  // not below 1
    drag(LOD + "Bend min (reverse)", -200);
    EXPECT_EQ(bendMinReverse, 0);
    drag(LOD + "Bend min (forward)", 50);
    EXPECT_GT(bendMinForward, 0);
    bendMaxReverse = 190;
    drag(LOD + "Bend max (reverse)", 200);
    EXPECT_EQ(bendMaxReverse, 200);
}

TEST_F(PanelWidgetsTest, RadioGroupAndButtons)
{
    click("Camera control/projection mode/orthographic");
    EXPECT_EQ(projectionMode, 1);
    click("Camera control/projection mode/perspective");
    EXPECT_EQ(projectionMode, 0);

    // The acceleration button keeps working while its label changes.
    glslAvailable = hardwareAcceleration = true;
    frame();
    click("acceleration");
    EXPECT_FALSE(hardwareAcceleration);
    click("acceleration");
    EXPECT_TRUE(hardwareAcceleration);

    click("animation control/Frame-by-frame mode");
    EXPECT_EQ(frameByFrameMode, 1);
}

TEST_F(PanelWidgetsTest, FileFieldCommitsOnEnterAndRefusesLongNames)
{
    std::strcpy(treeFileName, "");
    frame();
    click("file/File");
    type("other.tre");
    EXPECT_STREQ(treeFileName, "");  // nothing happens before Enter
    testing::internal::CaptureStdout();
    pressEnter();
    testing::internal::GetCapturedStdout();
    EXPECT_STREQ(treeFileName, "other.tre");

    // 300 characters more: refused, and the field shows the current name again.
    click("file/File");
    type(std::string(300, 'x'));
    testing::internal::CaptureStdout();
    pressEnter();
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("ERROR"), std::string::npos);
    EXPECT_STREQ(treeFileName, "other.tre");
}

TEST_F(PanelWidgetsTest, WindBallTurnsWithTheDragAndSpinsOn)
{
    std::vector<float> r = rect("wind/Wind");
    float cx = 0.5f * (r[0] + r[2]), cy = 0.5f * (r[1] + r[3]);
    float radius = 0.5f * (r[2] - r[0]) - 3.0f;
    // From the ball's right edge up to its top: +x ends up pointing up.
    moveTo(ImVec2(cx + 0.99f * radius, cy));
    press(true);
    for (int k = 1; k <= 12; ++k) {
        float a = 0.5f * 3.14159265f * k / 12;
        moveTo(ImVec2(cx + 0.99f * radius * std::cos(a), cy - 0.99f * radius * std::sin(a)));
    }
    Vec3 wind = applyRows(windRotation, {1, 0, 0});
    EXPECT_TRUE(near(wind.x, 0.0, 0.03));
    EXPECT_TRUE(near(wind.y, 1.0, 0.03));

    // Released while moving: it turns on for a while after the release.
    press(false);
    float before[16];
    std::memcpy(before, windRotation, sizeof before);
    frame();
    EXPECT_NE(std::memcmp(before, windRotation, sizeof before), 0);
    for (int i = 0; i < 60; ++i)
        frame();
    std::memcpy(before, windRotation, sizeof before);
    frame();
    EXPECT_EQ(std::memcmp(before, windRotation, sizeof before), 0);  // then stops
}
