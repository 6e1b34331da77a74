// One pass of the floating thread and of the auto-active thread, on a scripted desktop (the
// logic alone) and on the X display named by $DISPLAY (the logic with its X round trips).
#include "app/AActiveCtrl.h"
#include "app/FltCtrl.h"
#include "doubles/FakeDesktop.h"
#include "platform/linux/X11Desktop.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <xcb/xcb.h>

namespace {

constexpr WindowId Own = 100;
constexpr WindowId Editor = 200;

class MovingHandOff : public TWindowHandOff
{
public:
    explicit MovingHandOff(Desktop& desktop) : m_desktop(desktop) {}
    void FloatMoveWindow(QPoint topLeft) override { m_desktop.MoveWindow(Window, topLeft); }
    void FloatRefused(QPoint) override {}
    void SetTrayMode(bool) override { ++Calls; }
    void AutoModeTo(bool) override { ++Calls; }
    WindowId Window = 0;
    int Calls = 0;

private:
    Desktop& m_desktop;
};

void ScriptedDesktop(FakeDesktop& desktop)
{
    desktop.Taskbars = {{-2, 738, 1026, 770}};
    desktop.Windows[Own] = {QStringLiteral("Pulsmir"), {10, 10, 110, 50}, true, ShowState::Normal};
    desktop.Windows[Editor] = {
        QStringLiteral("editor"), {0, 0, 1024, 738}, true, ShowState::Maximized};
    desktop.Foreground = Editor;
}

template <typename Thread> void RunPasses(benchmark::State& state, Thread& thread, Desktop& desktop)
{
    thread.Pass(desktop); // settles: the first pass moves or switches
    for (auto _ : state)
        benchmark::DoNotOptimize(thread.Pass(desktop));
}

void BM_FloatPass_Scripted(benchmark::State& state)
{
    FakeDesktop desktop;
    ScriptedDesktop(desktop);
    MovingHandOff handOff(desktop);
    handOff.Window = Own;
    TFltCtrl floating({}, handOff);
    floating.Window = Own;
    floating.OffsetX = -120;
    floating.Active = true;
    RunPasses(state, floating, desktop);
}
BENCHMARK(BM_FloatPass_Scripted);

void BM_AActivePass_Scripted(benchmark::State& state)
{
    FakeDesktop desktop;
    ScriptedDesktop(desktop);
    MovingHandOff handOff(desktop);
    TAActiveCtrl active({}, handOff, QStringLiteral("Pulsmir"));
    active.Window = Own;
    active.AutoMode = true;
    active.AutoTray = true;
    RunPasses(state, active, desktop);
}
BENCHMARK(BM_AActivePass_Scripted);

// Two plain windows on the display, one of them made the active window.
class X11Scene
{
public:
    X11Scene()
    {
        m_c = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(m_c))
            return;
        xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(m_c)).data;
        OwnWindow = Make(screen, 10, 10, 100, 40, "Pulsmir");
        EditorWindow = Make(screen, 100, 100, 800, 600, "editor");
        const char name[] = "_NET_ACTIVE_WINDOW";
        auto* atom =
            xcb_intern_atom_reply(m_c, xcb_intern_atom(m_c, 0, std::strlen(name), name), nullptr);
        if (atom) {
            const xcb_window_t active = EditorWindow;
            xcb_change_property(m_c, XCB_PROP_MODE_REPLACE, screen->root, atom->atom,
                                XCB_ATOM_WINDOW, 32, 1, &active);
            std::free(atom);
        }
        std::free(xcb_get_input_focus_reply(m_c, xcb_get_input_focus(m_c), nullptr));
        Ready = true;
    }
    ~X11Scene() { xcb_disconnect(m_c); }

    bool Ready = false;
    xcb_window_t OwnWindow = 0;
    xcb_window_t EditorWindow = 0;

private:
    xcb_window_t Make(xcb_screen_t* screen, int x, int y, int w, int h, const char* title)
    {
        const xcb_window_t window = xcb_generate_id(m_c);
        xcb_create_window(m_c, XCB_COPY_FROM_PARENT, window, screen->root, x, y, w, h, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
        xcb_change_property(m_c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING,
                            8, std::strlen(title), title);
        xcb_map_window(m_c, window);
        return window;
    }

    xcb_connection_t* m_c = nullptr;
};

void BM_FloatPass_X11(benchmark::State& state)
{
    X11Scene scene;
    X11Desktop desktop;
    if (!scene.Ready || !desktop.Connected()) {
        state.SkipWithError("no X display");
        return;
    }
    MovingHandOff handOff(desktop);
    handOff.Window = scene.OwnWindow;
    TFltCtrl floating({}, handOff);
    floating.Window = scene.OwnWindow;
    floating.OffsetX = -120;
    floating.Active = true;
    RunPasses(state, floating, desktop);
}
BENCHMARK(BM_FloatPass_X11);

void BM_AActivePass_X11(benchmark::State& state)
{
    X11Scene scene;
    X11Desktop desktop;
    if (!scene.Ready || !desktop.Connected()) {
        state.SkipWithError("no X display");
        return;
    }
    MovingHandOff handOff(desktop);
    TAActiveCtrl active({}, handOff, QStringLiteral("Pulsmir"));
    active.Window = scene.OwnWindow;
    active.AutoMode = true;
    active.AutoTray = true;
    RunPasses(state, active, desktop);
}
BENCHMARK(BM_AActivePass_X11);

} // namespace

int main(int argc, char** argv)
{
    // The threads' objects belong to the main thread, as in the program.
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
