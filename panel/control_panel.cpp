// The control panel: the widgets of the "DOR controls" window, drawn with
// Dear ImGui in that window's own GL context, the two windows' input
// callbacks (handed to the panel's input path, panel_input.h), and the idle
// callback.
#include "panel/control_panel.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <cassert>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <imgui.h>
#include <imgui_impl_glut.h>
#include <imgui_impl_opengl2.h>

#include "shell/startup_core.h"
#include "app/viewport.h"
#include "app/windows.h"
#include "panel/panel_input.h"
#include "parameters/parameters.h"
#include "render/shader_path.h"
#include "wind/wind.h"

bool controlPanelCreated = false;
RotationWidget windRotationControl;

// --- layout, in pixels of ImGui's default 13-pixel font. The two columns
// share the 460-pixel window: the first is as wide as the acceleration
// button's longer label, the second holds the LOD spinners' labels inside
// three nested frames.
constexpr float COLUMN_GAP = 2.0f;
constexpr float PANEL_INSET = 4.0f;         // frame to content on the left, each nesting level
constexpr float PANEL_INSET_RIGHT = 2.0f;   // the same on the right
constexpr float PANEL_BOTTOM_PAD = 2.0f;    // last widget to the frame's bottom line
constexpr float FLOAT_FIELD_WIDTH = 52.0f;  // "100.00"
constexpr float INT_FIELD_WIDTH = 27.0f;    // "200"
constexpr float WIND_WIDGET_SIZE = 96.0f;
constexpr int FILE_EDIT_SIZE = 1024;        // longer than treeFileName, to see a refusal

// Drag speeds, parameter units per pixel. The LOD spinners step one level
// per 5 pixels (shift: ten times faster, ImGui's fine and fast modifiers).
constexpr float FLOAT_SPINNER_SPEED = 0.2f;
constexpr float SHIVER_INTENSITY_SPEED = 0.01f;
// The wind field's ratios and seconds: 0.01 per pixel, as the shiver intensity.
constexpr float FIELD_FINE_SPEED = 0.01f;
constexpr float SEED_FIELD_WIDTH = 110.0f;  // ten digits and the two step buttons
constexpr float LOD_SPINNER_SPEED = 0.2f;
// The physical model's quantities, per pixel: rates 1 Hz, the wood's
// modulus 0.05 GPa and density 2 kg/m^3, ratios and the air's density 0.01,
// a leaf's mass 1 g and area 10 cm^2 (shown to the gram and the cm^2).
constexpr float RATE_SPEED = 1.0f;
constexpr float MODULUS_SPEED = 0.05f;
constexpr float WOOD_DENSITY_SPEED = 2.0f;
constexpr float FINE_SPEED = 0.01f;
constexpr float LEAF_MASS_SPEED = 0.001f;
constexpr float LEAF_AREA_SPEED = 0.001f;

// ---------------------------------------------------------------------------
// Widget bookkeeping

// A framed group ("panel") in construction: its outline is drawn when it ends.
struct PanelFrame {
    float left, right;        // outline, screen pixels
    float top;                // the top line, through the middle of the title
    float titleLeft, titleRight;
};

static std::vector<PanelFrame> openPanels;
static float columnRight;                   // right end of the current column, screen pixels
static std::vector<std::string> panelPath;  // titles of the open panels
static std::map<std::string, std::vector<float>> itemRects;

static std::string itemPath(const char* label)
{
    std::string path;
    for (const std::string& title : panelPath)
        path += title + "/";
    return path + label;
}

// Remembers where the latest widget was drawn, for controlPanelItemRect.
static void noteItem(const char* label)
{
    ImVec2 a = ImGui::GetItemRectMin(), b = ImGui::GetItemRectMax();
    itemRects[itemPath(label)] = {a.x, a.y, b.x, b.y};
}

bool controlPanelItemRect(const char* path, float rect[4])
{
    auto it = itemRects.find(path);
    if (it == itemRects.end())
        return false;
    std::copy(it->second.begin(), it->second.end(), rect);
    return true;
}

// Called when a widget changed its live parameter or was pressed: the
// viewport is redrawn, and a widget with an id runs controlCallback with the
// viewport's window and context current; the panel's window is current again
// afterwards. Without windows (tests) only the callback runs.
static void widgetChanged(int id)
{
    if (!controlPanelCreated) {
        if (id != 0)
            controlCallback(id);
        return;
    }
    glutPostWindowRedisplay(viewportWindow);
    if (id != 0) {
        int previous = glutGetWindow();
        glutSetWindow(viewportWindow);
        controlCallback(id);
        if (previous != 0)
            glutSetWindow(previous);
    }
}

// A framed group with its title on the top line; nested groups sit inside
// their parent's frame. Labels repeated in several groups ("Apply", "Scale")
// get distinct ImGui ids from the group's id scope.
static void beginPanel(const char* title)
{
    ImGui::PushID(title);
    ImVec2 start = ImGui::GetCursorScreenPos();
    float right = openPanels.empty() ? columnRight : openPanels.back().right - PANEL_INSET_RIGHT;
    ImGui::SetCursorScreenPos(ImVec2(start.x + PANEL_INSET + 3.0f, start.y));
    ImGui::TextUnformatted(title);
    ImVec2 t0 = ImGui::GetItemRectMin(), t1 = ImGui::GetItemRectMax();
    openPanels.push_back({start.x, right, 0.5f * (t0.y + t1.y), t0.x - 3.0f, t1.x + 3.0f});
    panelPath.push_back(title);
    ImGui::Indent(PANEL_INSET);
}

static void endPanel()
{
    ImGui::Unindent(PANEL_INSET);
    ImGui::Dummy(ImVec2(1.0f, PANEL_BOTTOM_PAD));
    float bottom = ImGui::GetItemRectMax().y;
    PanelFrame f = openPanels.back();
    openPanels.pop_back();
    panelPath.pop_back();
    ImDrawList* draw = ImGui::GetWindowDrawList();
    ImU32 colour = ImGui::GetColorU32(ImGuiCol_Border);
    draw->AddLine(ImVec2(f.left, f.top), ImVec2(f.titleLeft, f.top), colour);
    draw->AddLine(ImVec2(f.titleRight, f.top), ImVec2(f.right, f.top), colour);
    draw->AddLine(ImVec2(f.left, f.top), ImVec2(f.left, bottom), colour);
    draw->AddLine(ImVec2(f.right, f.top), ImVec2(f.right, bottom), colour);
    draw->AddLine(ImVec2(f.left, bottom), ImVec2(f.right + 1.0f, bottom), colour);
    ImGui::PopID();
}

static void checkbox(const char* label, int& value, int id = 0)
{
    bool on = value != 0;
    if (ImGui::Checkbox(label, &on)) {
        value = on ? 1 : 0;
        widgetChanged(id);
    }
    noteItem(label);
}

// A spinner's limits: its live parameter's range in the parameter table.
static const LiveParameter& rowOf(const void* value)
{
    const LiveParameter* row = liveParameterAt(value);
    assert(row && "every spinner edits a live parameter");
    return *row;
}

static void floatSpinner(const char* label, float& value, float speed = FLOAT_SPINNER_SPEED,
                         const char* format = "%.2f")
{
    const LiveParameter& row = rowOf(&value);
    ImGui::SetNextItemWidth(FLOAT_FIELD_WIDTH);
    if (ImGui::DragFloat(label, &value, speed, float(row.minimum), float(row.maximum), format,
                         ImGuiSliderFlags_AlwaysClamp))
        widgetChanged(0);
    noteItem(label);
}

static void lodSpinner(const char* label, int& value, int id)
{
    const LiveParameter& row = rowOf(&value);
    ImGui::SetNextItemWidth(INT_FIELD_WIDTH);
    if (ImGui::DragInt(label, &value, LOD_SPINNER_SPEED, int(row.minimum), int(row.maximum), "%d",
                       ImGuiSliderFlags_AlwaysClamp))
        widgetChanged(id);
    noteItem(label);
}

// The field's seed: typed and taken on Enter, or stepped by its buttons. A
// new seed builds a new turbulence pattern (about a second), so it is not a
// spinner that would build one for every pixel dragged.
static void seedField()
{
    const LiveParameter& row = rowOf(&windSeed);
    int seed = windSeed;
    ImGui::SetNextItemWidth(SEED_FIELD_WIDTH);
    if (ImGui::InputInt("Seed", &seed, 1, 100, ImGuiInputTextFlags_EnterReturnsTrue)) {
        windSeed = std::clamp(seed, int(row.minimum), int(row.maximum));
        widgetChanged(0);
    }
    noteItem("Seed");
}

static bool button(const char* label, int id, const char* path = nullptr)
{
    bool pressed = ImGui::Button(label);
    noteItem(path ? path : label);
    if (pressed)
        widgetChanged(id);
    return pressed;
}

// ---------------------------------------------------------------------------
// The "File" field

bool commitFileName(const char* text)
{
    std::size_t n = strnlen(text, TREE_FILE_NAME_SIZE);
    if (n >= TREE_FILE_NAME_SIZE) {
        std::printf("ERROR: file name refused: it has %zu characters or more, at most %zu fit\n",
                    TREE_FILE_NAME_SIZE, TREE_FILE_NAME_SIZE - 1);
        return false;
    }
    std::memcpy(treeFileName, text, n + 1);
    widgetChanged(ID_FILE);
    return true;
}

static void fileField()
{
    // The edit happens in a buffer of its own, longer than treeFileName, so
    // that an overlong name is seen whole and refused rather than cut short.
    // While the field is not being edited it shows the current name.
    static char edit[FILE_EDIT_SIZE];
    static bool editing = false;
    if (!editing)
        std::snprintf(edit, sizeof edit, "%s", treeFileName);
    float labelWidth = ImGui::CalcTextSize("File").x + ImGui::GetStyle().ItemInnerSpacing.x;
    float right = openPanels.empty() ? columnRight : openPanels.back().right - PANEL_INSET_RIGHT;
    ImGui::SetNextItemWidth(right - ImGui::GetCursorScreenPos().x - labelWidth);
    bool committed = ImGui::InputText("File", edit, sizeof edit, ImGuiInputTextFlags_EnterReturnsTrue);
    // Leaving the field (a click elsewhere, "Reload file" among others)
    // commits a changed name as Enter does. Escape has put the name back as
    // it was, so leaving with it commits nothing, and neither does leaving an
    // unchanged name, which would only reload the same file.
    bool left = ImGui::IsItemDeactivated() && std::strcmp(edit, treeFileName) != 0;
    editing = ImGui::IsItemActive();
    noteItem("File");
    if (committed || left) {
        editing = false;
        commitFileName(edit);
    }
}

// ---------------------------------------------------------------------------
// The "Wind" rotation widget

static ImVec2 onScreen(ImVec2 centre, float radius, Vec3 v)
{
    return ImVec2(centre.x + radius * v.x, centre.y - radius * v.y);
}

// The ball with its turned axes, and the wind direction that the wind source
// computes from windRotation: an arrow with a sphere at its tip, drawn larger
// and darker when it points towards the eye.
static void drawWindBall(ImVec2 centre, float radius)
{
    ImDrawList* draw = ImGui::GetWindowDrawList();
    draw->AddCircleFilled(centre, radius, IM_COL32(225, 225, 230, 255), 48);
    draw->AddCircle(centre, radius, ImGui::GetColorU32(ImGuiCol_Border), 48);
    const ImU32 axisColours[3] = {IM_COL32(200, 70, 70, 255), IM_COL32(70, 160, 70, 255),
                                  IM_COL32(70, 70, 200, 255)};
    for (int i = 0; i < 3; ++i) {
        Vec3 e;
        (i == 0 ? e.x : i == 1 ? e.y : e.z) = 1.0f;
        Vec3 a = applyRows(windRotation, e);
        ImU32 c = axisColours[i];
        if (a.z < 0.0f)
            c = (c & 0x00FFFFFF) | (90u << 24);  // behind the ball's centre: faint
        draw->AddLine(onScreen(centre, radius, a * -1.0f), onScreen(centre, radius, a), c, 1.0f);
    }
    Vec3 base = treeWind ? treeWind->baseDirection : Vec3{1.0f, 0.0f, 0.0f};
    Vec3 t = applyRows(windRotation, base);
    float l = length(t);
    if (l > 0.0f)
        t = t * (1.0f / l);
    ImU32 arrow = t.z >= 0.0f ? IM_COL32(20, 20, 90, 255) : IM_COL32(110, 110, 150, 255);
    ImVec2 tip = onScreen(centre, 0.85f * radius, t);
    draw->AddLine(centre, tip, arrow, 3.0f);
    draw->AddCircleFilled(tip, 4.0f + 2.0f * t.z, arrow, 16);
}

static void windWidget()
{
    ImVec2 origin = ImGui::GetCursorScreenPos();
    ImGui::InvisibleButton("Wind", ImVec2(WIND_WIDGET_SIZE, WIND_WIDGET_SIZE));
    noteItem("Wind");
    ImVec2 centre(origin.x + 0.5f * WIND_WIDGET_SIZE, origin.y + 0.5f * WIND_WIDGET_SIZE);
    float radius = 0.5f * WIND_WIDGET_SIZE - 3.0f;
    ImVec2 mouse = ImGui::GetIO().MousePos;
    Vec3 point = arcballPoint(mouse.x, mouse.y, centre.x, centre.y, radius);
    RotationWidget& w = windRotationControl;
    if (ImGui::IsItemActivated())
        rotationPress(w, point);
    if (ImGui::IsItemActive()) {
        rotationDrag(w, point, windRotation);
        if (rotationAngle(w.frameTurn) > 0.0f)
            widgetChanged(ID_WIND_ROTATION);
    } else {
        rotationRelease(w);
        if (rotationSpinStep(w, windRotation))
            widgetChanged(ID_WIND_ROTATION);
    }
    drawWindBall(centre, radius);
    // The label beside the ball, drawn rather than laid out, so that the
    // panel continues right below the ball.
    ImGui::GetWindowDrawList()->AddText(
        ImVec2(origin.x + WIND_WIDGET_SIZE + ImGui::GetStyle().ItemInnerSpacing.x,
               centre.y - 0.5f * ImGui::GetTextLineHeight()),
        ImGui::GetColorU32(ImGuiCol_Text), "Wind");
}

// ---------------------------------------------------------------------------
// The panel

// The classic model's groups: its fixed-rate option, material, leaves,
// segments and animation level of detail.
static void classicModelGroups()
{
    floatSpinner("Fixed rate", fixedRate, RATE_SPEED, "%.0f");
    beginPanel("Material properties");
    floatSpinner("Density", density);
    floatSpinner("Rigidity", rigidity);
    endPanel();

    beginPanel("Leaves");
    floatSpinner("Leaves' surface", leafSurface);
    beginPanel("Wind force");
    checkbox("Apply", leafWindApply);
    floatSpinner("Scale", leafWindScale);
    checkbox("Propagate", leafWindPropagate);
    checkbox("Show glyphs", showLeafWindGlyphs);
    endPanel();
    beginPanel("Shiver");
    checkbox("Apply", shiverApply);
    floatSpinner("Shiver speed", shiverSpeed);
    floatSpinner("Shiver intensity", shiverIntensity, SHIVER_INTENSITY_SPEED);
    endPanel();
    endPanel();

    beginPanel("Segments");
    checkbox("Show velocity", showVelocity);
    struct ForcePanel {
        const char* title;
        int& apply;
        float& scale;
        int& glyphs;
    };
    const ForcePanel forces[] = {
        {"Wind force", segmentWindApply, segmentWindScale, showSegmentWindGlyphs},
        {"Restoration force", restorationApply, restorationScale, showRestorationGlyphs},
        {"Backpropagated force", backpropApply, backpropScale, showBackpropGlyphs},
        {"Damping force", dampingApply, dampingScale, showDampingGlyphs},
    };
    for (const ForcePanel& f : forces) {
        beginPanel(f.title);
        checkbox("Apply", f.apply);
        floatSpinner("Scale", f.scale);
        checkbox("Show glyphs", f.glyphs);
        endPanel();
    }
    beginPanel("animation LOD");
    lodSpinner("Bend min (forward)", bendMinForward, ID_BEND_MIN_FORWARD);
    lodSpinner("Bend max (forward)", bendMaxForward, ID_BEND_MAX_FORWARD);
    lodSpinner("Bend min (reverse)", bendMinReverse, ID_BEND_MIN_REVERSE);
    lodSpinner("Bend max (reverse)", bendMaxReverse, ID_BEND_MAX_REVERSE);
    lodSpinner("Bend every n-th (forward)", bendEveryNthForward, ID_BEND_EVERY_NTH_FORWARD);
    lodSpinner("Bend every n-th (reverse)", bendEveryNthReverse, ID_BEND_EVERY_NTH_REVERSE);
    lodSpinner("Assert bend min (forward)", assertBendMinForward, ID_ASSERT_BEND_MIN_FORWARD);
    lodSpinner("Assert bend min (reverse)", assertBendMinReverse, ID_ASSERT_BEND_MIN_REVERSE);
    endPanel();
    endPanel();
}

// The physical model's parameters (the tree file's units are metres).
static void physicalModelGroup()
{
    beginPanel("Physical model");
    floatSpinner("Young's modulus (GPa)", youngModulus, MODULUS_SPEED);
    floatSpinner("Wood density (kg/m3)", woodDensity, WOOD_DENSITY_SPEED, "%.0f");
    floatSpinner("Drag coefficient", dragCoefficient, FINE_SPEED);
    floatSpinner("Air density (kg/m3)", airDensity, FINE_SPEED);
    floatSpinner("Leaf mass (kg)", leafMass, LEAF_MASS_SPEED, "%.3f");
    floatSpinner("Leaf area (m2)", leafArea, LEAF_AREA_SPEED, "%.3f");
    floatSpinner("Damping ratio", structuralDamping, FINE_SPEED);
    checkbox("Gravity", gravityApply);
    floatSpinner("Rate (Hz)", physicsRate, RATE_SPEED, "%.0f");
    endPanel();
}

void buildControlPanel()
{
    ImGuiIO& io = ImGui::GetIO();
    // Only what this frame shows can be found (the model's groups change).
    itemRects.clear();
    ImGui::SetNextWindowPos(ImVec2(0.0f, 0.0f));
    ImGui::SetNextWindowSize(io.DisplaySize);
    ImGui::Begin("DOR controls", nullptr,
                 ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove |
                     ImGuiWindowFlags_NoCollapse | ImGuiWindowFlags_NoSavedSettings |
                     ImGuiWindowFlags_NoBringToFrontOnFocus);
    const ImGuiStyle& style = ImGui::GetStyle();
    ImVec2 windowPos = ImGui::GetWindowPos();
    float column2 = style.WindowPadding.x + COLUMN_GAP + 2.0f * style.FramePadding.x +
                    ImGui::CalcTextSize("Deactivate hardware acceleration").x;

    // First column.
    columnRight = windowPos.x + column2 - COLUMN_GAP;
    beginPanel("file");
    fileField();
    button("Reload file", ID_RELOAD);
    endPanel();

    beginPanel("animation control");
    checkbox("Frame-by-frame mode", frameByFrameMode, ID_FRAME_BY_FRAME);
    button("Frame step", ID_FRAME_STEP);
    button("Reset tree", ID_RESET_TREE);
    endPanel();

    beginPanel("wind");
    button("Reset windfield", ID_RESET_WIND);
    checkbox("show glyphs", showWindGlyph);
    floatSpinner("wind velocity", windVelocity);
    windWidget();
    endPanel();

    beginPanel("Display options");
    checkbox("diffuse texturess", showDiffuseTextures);
    checkbox("Lighting", lightingEnabled, ID_LIGHTING);
    ImGui::BeginDisabled(!lightIntensitySpinnerEnabled);
    floatSpinner("Light intensity", lightIntensity);
    ImGui::EndDisabled();
    checkbox("Show leaves", showLeaves);
    checkbox("Show segments", showSegments);
    checkbox("Show face normals", showFaceNormals);
    checkbox("Show segments' local CS", showSegmentFrames);
    checkbox("Show scene elements", showSceneElements);
    endPanel();

    beginPanel("Camera control");
    button("Reset camera", ID_RESET_CAMERA);
    beginPanel("projection mode");
    if (ImGui::RadioButton("perspective", &projectionMode, 0))
        widgetChanged(ID_PROJECTION);
    noteItem("perspective");
    if (ImGui::RadioButton("orthographic", &projectionMode, 1))
        widgetChanged(ID_PROJECTION);
    noteItem("orthographic");
    endPanel();
    endPanel();

    // The label names what the next press does; the id stays the same.
    std::string acceleration = std::string(accelerationButtonLabel()) + "###acceleration";
    ImGui::BeginDisabled(!accelerationButtonEnabled());
    button(acceleration.c_str(), ID_ACCELERATION, "acceleration");
    ImGui::EndDisabled();

    // The wind field on the mean wind above; off, the wind is the same
    // everywhere and at all times.
    beginPanel("Wind field");
    checkbox("Turbulence", windTurbulence);
    floatSpinner("Intensity", turbulenceIntensity, FIELD_FINE_SPEED);
    floatSpinner("Length scale", turbulenceScale);
    checkbox("Gusts", windGusts);
    floatSpinner("Gust strength", gustStrength, FIELD_FINE_SPEED);
    floatSpinner("Gust interval", gustInterval);
    seedField();
    floatSpinner("Response time", windResponseTime, FIELD_FINE_SPEED);
    endPanel();

    // Second column.
    ImGui::SetCursorPos(ImVec2(column2, style.WindowPadding.y));
    ImGui::Indent(column2 - style.WindowPadding.x);
    columnRight = windowPos.x + io.DisplaySize.x - style.WindowPadding.x;
    if (ImGui::Button("Quit"))
        std::exit(0);
    noteItem("Quit");

    beginPanel("Bending model");
    // The two models; switching resets the tree. Each shows its own groups.
    for (int model = 0; model < 2; ++model) {
        const char* name = model == 0 ? "classic" : "physical";
        if (ImGui::RadioButton(name, &bendingModel, model))
            widgetChanged(ID_BENDING_MODEL);
        noteItem(name);
    }
    if (bendingModel == 1)
        physicalModelGroup();
    else
        classicModelGroups();
    endPanel();

    ImGui::Unindent(column2 - style.WindowPadding.x);
    ImGui::End();
}

// ---------------------------------------------------------------------------
// Input of both windows, handed to the panel's input path (panel_input.h)
// with the modifiers GLUT reports for the event. Motion and wheel events
// carry none (glutGetModifiers is valid in key and button callbacks only).

static void panelKeyboard(unsigned char key, int x, int y)
{
    panelKeyDown(key, glutGetModifiers(), x, y);
}

static void panelKeyboardUp(unsigned char key, int x, int y)
{
    panelKeyUp(key, glutGetModifiers(), x, y);
}

static void panelSpecial(int key, int x, int y)
{
    panelSpecialDown(key, glutGetModifiers(), x, y);
}

static void panelSpecialRelease(int key, int x, int y)
{
    panelSpecialUp(key, glutGetModifiers(), x, y);
}

static void panelMouse(int button, int state, int x, int y)
{
    panelMouseButton(button, state, glutGetModifiers(), x, y);
}

static void panelMotion(int x, int y)
{
    panelMouseMove(x, y);
}

static void panelWheel(int, int direction, int x, int y)
{
    panelMouseWheel(direction, x, y);
}

static void panelReshape(int width, int height)
{
    ImGui_ImplGLUT_ReshapeFunc(width, height);
    glutPostRedisplay();
}

// The controls window's display: one ImGui frame.
static void panelDisplay()
{
    ImGuiIO& io = ImGui::GetIO();
    int width = glutGet(GLUT_WINDOW_WIDTH), height = glutGet(GLUT_WINDOW_HEIGHT);
    io.DisplaySize = ImVec2((float)width, (float)height);
    takePanelInput();
    ImGui_ImplOpenGL2_NewFrame();
    ImGui_ImplGLUT_NewFrame();  // also ImGui::NewFrame
    buildControlPanel();
    ImGui::Render();
    glViewport(0, 0, width, height);
    ImVec4 bg = ImGui::GetStyle().Colors[ImGuiCol_WindowBg];
    glClearColor(bg.x, bg.y, bg.z, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    ImGui_ImplOpenGL2_RenderDrawData(ImGui::GetDrawData());
    glutSwapBuffers();
}

// The viewport's idle work, and a redisplay of the panel so that it follows
// the mouse, spins the wind ball and shows values set elsewhere.
static void panelIdle()
{
    idle();
    glutPostWindowRedisplay(controlsWindow);
}

void applyControlPanelStyle()
{
    ImGui::StyleColorsLight();
    ImGuiStyle& style = ImGui::GetStyle();
    style.WindowPadding = ImVec2(3.0f, 4.0f);
    style.FramePadding = ImVec2(3.0f, 2.0f);
    style.ItemSpacing = ImVec2(4.0f, 3.0f);
    style.ItemInnerSpacing = ImVec2(3.0f, 3.0f);
    style.WindowBorderSize = 0.0f;
    style.FrameBorderSize = 1.0f;
    style.WindowRounding = 0.0f;
    style.Colors[ImGuiCol_WindowBg] = ImVec4(0.86f, 0.86f, 0.86f, 1.0f);
}

void createControlPanel()
{
    if (controlPanelCreated)
        return;
    glutSetWindow(controlsWindow);
    IMGUI_CHECKVERSION();
    ImGui::CreateContext();
    ImGuiIO& io = ImGui::GetIO();
    io.IniFilename = nullptr;  // no persisted state
    io.LogFilename = nullptr;
    applyControlPanelStyle();
    ImGui_ImplGLUT_Init();
    ImGui_ImplOpenGL2_Init();
    resetPanelInput();

    glutDisplayFunc(panelDisplay);
    glutReshapeFunc(panelReshape);
    glutKeyboardFunc(panelKeyboard);
    glutKeyboardUpFunc(panelKeyboardUp);
    glutSpecialFunc(panelSpecial);
    glutSpecialUpFunc(panelSpecialRelease);
    glutMouseFunc(panelMouse);
    glutMotionFunc(panelMotion);
    glutPassiveMotionFunc(panelMotion);
    glutMouseWheelFunc(panelWheel);

    // The viewport's keys take the same way: to the panel while one of its
    // widgets is active (a spinner dragged out over the viewport, where the
    // keyboard follows the pointer), else to keyboard. Its modifier keys
    // reach the panel too, for a drag or click with Shift, Ctrl or Alt.
    glutSetWindow(viewportWindow);
    glutKeyboardFunc(panelKeyboard);
    glutKeyboardUpFunc(panelKeyboardUp);
    glutSpecialFunc(panelSpecial);
    glutSpecialUpFunc(panelSpecialRelease);

    // The widget starts from no rotation.
    static const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    std::memcpy(windRotation, identity, sizeof identity);
    windRotationControl = RotationWidget{};
    lightIntensitySpinnerEnabled = lightingEnabled != 0;

    glutIdleFunc(panelIdle);
    controlPanelCreated = true;
}
