// The panel's input path: events of both windows queued for ImGui, the held
// modifiers tracked from freeglut's modifier keys, and the keys routed
// between the panel and the viewer's keyboard callback.
#include "panel/panel_input.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <deque>
#include <vector>

#include <imgui.h>

#include "app/viewport.h"

void (*keyNotForPanel)(unsigned char key, int x, int y) = keyboard;

namespace {

struct InputEvent {
    enum Kind { Button, Move, Wheel, KeyDown, KeyUp, SpecialDown, SpecialUp } kind;
    int code;       // GLUT button, character or special key; the wheel's direction
    int state;      // button: GLUT_DOWN / GLUT_UP
    int modifiers;  // GLUT_ACTIVE_* bits held after the event
    int x, y;
};

std::deque<InputEvent> pending;

// The modifier keys as freeglut names them, GLUT_KEY_SHIFT_L ... GLUT_KEY_ALT_R,
// left and right of each modifier, and which of them are held.
constexpr int FIRST_MODIFIER_KEY = GLUT_KEY_SHIFT_L;
constexpr int MODIFIER_KEYS = 6;
constexpr int MODIFIER_BITS[3] = {GLUT_ACTIVE_SHIFT, GLUT_ACTIVE_CTRL, GLUT_ACTIVE_ALT};
bool modifierKeyDown[MODIFIER_KEYS] = {};

bool isModifierKey(int special)
{
    return special >= FIRST_MODIFIER_KEY && special < FIRST_MODIFIER_KEY + MODIFIER_KEYS;
}

int heldModifiers()
{
    int held = 0;
    for (int m = 0; m < 3; ++m)
        if (modifierKeyDown[2 * m] || modifierKeyDown[2 * m + 1])
            held |= MODIFIER_BITS[m];
    return held;
}

// Takes what an event says was held before it: a modifier released or pressed
// while another program or no window of ours had the keyboard is put right.
// A modifier key's own event changes its own state only (before it, the key
// was necessarily up or down).
int trackModifiers(int before, int special, bool down)
{
    for (int m = 0; m < 3; ++m) {
        bool* sides = &modifierKeyDown[2 * m];
        if (isModifierKey(special) && (special - FIRST_MODIFIER_KEY) / 2 == m)
            continue;
        if (!(before & MODIFIER_BITS[m]))
            sides[0] = sides[1] = false;
        else if (!sides[0] && !sides[1])
            sides[0] = true;
    }
    if (isModifierKey(special))
        modifierKeyDown[special - FIRST_MODIFIER_KEY] = down;
    return heldModifiers();
}

int imguiModifiers()
{
    const ImGuiIO& io = ImGui::GetIO();
    return (io.KeyShift ? GLUT_ACTIVE_SHIFT : 0) | (io.KeyCtrl ? GLUT_ACTIVE_CTRL : 0) |
           (io.KeyAlt ? GLUT_ACTIVE_ALT : 0);
}

void setImguiModifiers(int modifiers)
{
    ImGuiIO& io = ImGui::GetIO();
    io.KeyShift = (modifiers & GLUT_ACTIVE_SHIFT) != 0;
    io.KeyCtrl = (modifiers & GLUT_ACTIVE_CTRL) != 0;
    io.KeyAlt = (modifiers & GLUT_ACTIVE_ALT) != 0;
}

// ImGui's key states of a character: a letter in both cases and as its
// control character (GLUT cannot tell Tab from Ctrl+I, nor Enter from
// Ctrl+M), so that the shortcuts, which ask for 'A' ... 'Z', see it however
// GLUT delivers it; any other character as itself.
int keyIndex(int c)
{
    if (c >= 1 && c <= 26)
        return 'A' + c - 1;
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 'A';
    return c;
}

void setKey(int c, bool down)
{
    ImGuiIO& io = ImGui::GetIO();
    int k = keyIndex(c);
    if (k >= 'A' && k <= 'Z') {
        io.KeysDown[k] = io.KeysDown[k - 'A' + 'a'] = io.KeysDown[k - 'A' + 1] = down;
    } else {
        io.KeysDown[c] = down;
    }
}

bool keyIsDown(int c)
{
    return ImGui::GetIO().KeysDown[keyIndex(c)];
}

// A character that is typed text: printable, without Ctrl or Alt. It reaches
// ImGui as a character only (ImGui queues characters itself), so text typed
// quickly need not wait a frame per key.
bool isText(int c, int modifiers)
{
    return c >= 32 && c != 127 && !(modifiers & (GLUT_ACTIVE_CTRL | GLUT_ACTIVE_ALT));
}

int specialIndex(int special)
{
    int i = 256 + special;
    return i >= 256 && i < IM_ARRAYSIZE(ImGui::GetIO().KeysDown) ? i : -1;
}

// What a frame has changed so far; the numbers of buttons, keys and
// modifiers kept apart.
constexpr int BUTTON_CHANGE = 1000, MODIFIER_CHANGE = 2000;

void apply(const InputEvent& e)
{
    ImGuiIO& io = ImGui::GetIO();
    setImguiModifiers(e.modifiers);
    switch (e.kind) {
    case InputEvent::Button: {
        io.MousePos = ImVec2((float)e.x, (float)e.y);
        int b = e.code == GLUT_LEFT_BUTTON ? 0 : e.code == GLUT_RIGHT_BUTTON ? 1 : 2;
        io.MouseDown[b] = e.state == GLUT_DOWN;
        break;
    }
    case InputEvent::Move: io.MousePos = ImVec2((float)e.x, (float)e.y); break;
    case InputEvent::Wheel:
        io.MousePos = ImVec2((float)e.x, (float)e.y);
        io.MouseWheel += e.code > 0 ? 1.0f : -1.0f;
        break;
    case InputEvent::KeyDown:
        if (!panelHoldsKeyboard()) {
            keyNotForPanel((unsigned char)e.code, e.x, e.y);
            break;
        }
        if (e.code >= 32)
            io.AddInputCharacter((unsigned int)e.code);
        if (!isText(e.code, e.modifiers))
            setKey(e.code, true);
        break;
    case InputEvent::KeyUp: setKey(e.code, false); break;
    case InputEvent::SpecialDown:
    case InputEvent::SpecialUp:
        if (specialIndex(e.code) >= 0 && !isModifierKey(e.code))
            io.KeysDown[specialIndex(e.code)] = e.kind == InputEvent::SpecialDown;
        break;
    }
}

void queue(InputEvent::Kind kind, int code, int state, int modifiers, int x, int y)
{
    pending.push_back({kind, code, state, modifiers, x, y});
}

}  // namespace

bool panelInputWaiting() { return !pending.empty(); }

bool panelHoldsKeyboard()
{
    return ImGui::GetCurrentContext() != nullptr && ImGui::IsAnyItemActive();
}

void panelKeyDown(unsigned char key, int modifiers, int x, int y)
{
    int held = trackModifiers(modifiers, -1, false);
    if (pending.empty() && !panelHoldsKeyboard()) {
        setImguiModifiers(held);
        keyNotForPanel(key, x, y);
        return;
    }
    queue(InputEvent::KeyDown, key, 0, held, x, y);
}

void panelKeyUp(unsigned char key, int modifiers, int x, int y)
{
    int held = trackModifiers(modifiers, -1, false);
    if (pending.empty() && !keyIsDown(key)) {
        setImguiModifiers(held);  // a key ImGui never saw pressed
        return;
    }
    queue(InputEvent::KeyUp, key, 0, held, x, y);
}

static void special(InputEvent::Kind kind, int key, int modifiers, int x, int y)
{
    bool down = kind == InputEvent::SpecialDown;
    int held = trackModifiers(modifiers, key, down);
    // Nothing waits and no widget is active: a modifier takes effect at
    // once (it may be for a click to come), another key has nothing to do.
    int index = specialIndex(key);
    bool seenPressed = index >= 0 && ImGui::GetIO().KeysDown[index];
    if (pending.empty() && !panelHoldsKeyboard() && (down || !seenPressed)) {
        setImguiModifiers(held);
        return;
    }
    queue(kind, key, 0, held, x, y);
}

void panelSpecialDown(int key, int modifiers, int x, int y)
{
    special(InputEvent::SpecialDown, key, modifiers, x, y);
}

void panelSpecialUp(int key, int modifiers, int x, int y)
{
    special(InputEvent::SpecialUp, key, modifiers, x, y);
}

void panelMouseButton(int button, int state, int modifiers, int x, int y)
{
    if (button != GLUT_LEFT_BUTTON && button != GLUT_RIGHT_BUTTON && button != GLUT_MIDDLE_BUTTON)
        return;
    queue(InputEvent::Button, button, state, trackModifiers(modifiers, -1, false), x, y);
}

void panelMouseMove(int x, int y)
{
    queue(InputEvent::Move, 0, 0, heldModifiers(), x, y);
}

void panelMouseWheel(int direction, int x, int y)
{
    queue(InputEvent::Wheel, direction, 0, heldModifiers(), x, y);
}

void takePanelInput()
{
    std::vector<int> changed;
    auto seen = [&changed](int c) { return std::find(changed.begin(), changed.end(), c) != changed.end(); };
    bool buttonChanged = false, keyChanged = false;
    while (!pending.empty()) {
        const InputEvent e = pending.front();
        std::vector<int> changes;
        int modifierChanges = e.modifiers ^ imguiModifiers();
        for (int bit : MODIFIER_BITS)
            if (modifierChanges & bit)
                changes.push_back(MODIFIER_CHANGE + bit);
        bool wait = false;
        switch (e.kind) {
        case InputEvent::Button: changes.push_back(BUTTON_CHANGE + e.code); break;
        case InputEvent::Move: wait = buttonChanged; break;
        case InputEvent::Wheel: break;
        case InputEvent::KeyDown:
            // The key's way (panel or quit keys) is decided once ImGui has
            // seen the click or key before it, which may start or end an edit.
            wait = buttonChanged || keyChanged;
            if (!isText(e.code, e.modifiers))
                changes.push_back(keyIndex(e.code));
            break;
        case InputEvent::KeyUp:
            if (keyIsDown(e.code))
                changes.push_back(keyIndex(e.code));
            break;
        case InputEvent::SpecialDown:
        case InputEvent::SpecialUp:
            if (specialIndex(e.code) >= 0 && !isModifierKey(e.code))
                changes.push_back(specialIndex(e.code));
            break;
        }
        // A modifier let go (or pressed) after a key or a click of this
        // frame waits: ImGui must see Ctrl+A or Ctrl+click with Ctrl held.
        if (modifierChanges != 0 && (keyChanged || buttonChanged))
            wait = true;
        for (int c : changes)
            wait = wait || seen(c);
        if (wait)
            break;
        pending.pop_front();
        apply(e);
        for (int c : changes) {
            changed.push_back(c);
            if (c >= BUTTON_CHANGE && c < MODIFIER_CHANGE)
                buttonChanged = true;
            else if (c < BUTTON_CHANGE)
                keyChanged = true;
        }
    }
}

void resetPanelInput()
{
    pending.clear();
    std::fill(std::begin(modifierKeyDown), std::end(modifierKeyDown), false);
}
