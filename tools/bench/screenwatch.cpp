// framzo_screenwatch: times an image viewer as a user sees it, on an X
// screen (Xvfb). It starts the viewer on a photo, gives its window the size
// asked for, and watches the middle of the window (where every viewer puts
// the photo) until the screen has been still for a while; then it presses
// the viewer's "next photo" key once, and then N times without a pause, and
// watches again each time. For each of the three it prints when the photo
// was drawn (from then on the watched area stays within a few levels of the
// picture it ends with) and when the screen last changed (the final
// picture), in milliseconds from the start of the program or from the
// first key; then the peak resident memory of the viewer's process after
// the first photo and after the last, in KiB.
//
//   framzo_screenwatch --size WxH --next KEYSYM [--keys N] [--quiet MS] -- PROGRAM ARGS...
//
// Output (one line): start_drawn start_final step_drawn step_final
// keys_drawn keys_final peak_one_kib peak_after_kib. A time the screen never
// reached is -1. Written without Qt, so that the watcher costs the viewers
// little of the machine: one shared-memory grab of the area every few
// milliseconds.

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/XTest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;

double msBetween(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration<double, std::milli>(b - a).count();
}

// A picture of the watched area, every other pixel each way.
struct Frame
{
    Clock::time_point at;
    std::vector<uint32_t> pixels;
};

// Within a few levels: at most one sample in a hundred differs by more than
// 16 levels of 255 in a channel (a reduced copy and the exact one differ by
// a few levels, by more only in single pixels at hard edges).
bool nearly(const Frame &a, const Frame &b)
{
    size_t far = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i) {
        const uint32_t p = a.pixels[i], q = b.pixels[i];
        for (int shift : {0, 8, 16}) {
            const int d = int((p >> shift) & 0xFF) - int((q >> shift) & 0xFF);
            if (d > 16 || d < -16) {
                ++far;
                break;
            }
        }
    }
    return far * 100 <= a.pixels.size();
}

// Windows come and go while they are looked at: an error about one that
// has gone is no error of the watcher's.
int ignoreErrors(Display *, XErrorEvent *)
{
    return 0;
}

class Watcher
{
public:
    Watcher(int w, int h) : mW(w), mH(h)
    {
        mDisplay = XOpenDisplay(nullptr);
        if (!mDisplay)
            return;
        XSetErrorHandler(ignoreErrors);
        mRoot = DefaultRootWindow(mDisplay);
        // The middle of the window: away from menus, tool bars, status lines
        // and strips of icons, which every viewer arranges its own way.
        mArea = {w / 5, h / 4, w * 3 / 5, h / 2};
        const int screen = DefaultScreen(mDisplay);
        mImage = XShmCreateImage(mDisplay, DefaultVisual(mDisplay, screen), unsigned(DefaultDepth(mDisplay, screen)),
                                 ZPixmap, nullptr, &mShm, unsigned(mArea.w), unsigned(mArea.h));
        if (!mImage)
            return;
        mShm.shmid = shmget(IPC_PRIVATE, size_t(mImage->bytes_per_line) * mImage->height, IPC_CREAT | 0600);
        mShm.shmaddr = mImage->data = static_cast<char *>(shmat(mShm.shmid, nullptr, 0));
        mShm.readOnly = False;
        XShmAttach(mDisplay, &mShm);
        XSync(mDisplay, False);
        shmctl(mShm.shmid, IPC_RMID, nullptr); // goes when both sides let go
        mOk = true;
    }
    ~Watcher()
    {
        if (mImage) {
            XShmDetach(mDisplay, &mShm);
            XDestroyImage(mImage);
            shmdt(mShm.shmaddr);
        }
        if (mDisplay)
            XCloseDisplay(mDisplay);
    }
    bool ok() const { return mOk; }

    std::set<Window> topLevels()
    {
        std::set<Window> out;
        Window root = 0, parent = 0, *children = nullptr;
        unsigned n = 0;
        if (XQueryTree(mDisplay, mRoot, &root, &parent, &children, &n)) {
            for (unsigned i = 0; i < n; ++i)
                out.insert(children[i]);
            XFree(children);
        }
        return out;
    }

    // The largest window shown that was not there before the viewer
    // started, moved to the corner and given the size asked for.
    bool placeWindow(const std::set<Window> &before)
    {
        Window best = 0;
        long bestArea = 0;
        for (Window w : topLevels()) {
            if (before.count(w))
                continue;
            XWindowAttributes a;
            if (!XGetWindowAttributes(mDisplay, w, &a) || a.map_state != IsViewable || a.width < 200 || a.height < 150)
                continue;
            if (long(a.width) * a.height > bestArea) {
                bestArea = long(a.width) * a.height;
                best = w;
                mPlacedRightly = a.x == 0 && a.y == 0 && a.width == mW && a.height == mH;
            }
        }
        if (!best)
            return false;
        mViewer = best;
        if (!mPlacedRightly) {
            XMoveResizeWindow(mDisplay, best, 0, 0, unsigned(mW), unsigned(mH));
            XFlush(mDisplay);
        }
        return true;
    }

    Frame grab()
    {
        Frame f;
        XShmGetImage(mDisplay, mRoot, mImage, mArea.x, mArea.y, AllPlanes);
        f.at = Clock::now();
        f.pixels.reserve(size_t(mArea.w / 2) * size_t(mArea.h / 2));
        for (int y = 0; y < mArea.h; y += 2) {
            const auto *line = reinterpret_cast<const uint32_t *>(mImage->data + size_t(y) * mImage->bytes_per_line);
            for (int x = 0; x < mArea.w; x += 2)
                f.pixels.push_back(line[x] & 0xFFFFFFu);
        }
        return f;
    }

    void press(const char *keysym)
    {
        // The keyboard to the viewer, as a window manager gives it to a
        // window just opened: without one, X sends keys where the pointer
        // is, and a toolkit may not count its window as active.
        if (mViewer)
            XSetInputFocus(mDisplay, mViewer, RevertToParent, CurrentTime);
        const KeyCode code = XKeysymToKeycode(mDisplay, XStringToKeysym(keysym));
        XTestFakeKeyEvent(mDisplay, code, True, CurrentTime);
        XTestFakeKeyEvent(mDisplay, code, False, CurrentTime);
        XFlush(mDisplay);
    }

private:
    struct Rect
    {
        int x, y, w, h;
    };
    Display *mDisplay = nullptr;
    Window mRoot = 0;
    int mW, mH;
    Rect mArea{};
    XImage *mImage = nullptr;
    XShmSegmentInfo mShm{};
    bool mOk = false;
    bool mPlacedRightly = false;
    Window mViewer = 0;
};

struct Times
{
    double drawn = -1, final = -1;
};

// Watches from `from` until the area has been still for quiet ms (or a
// minute has gone); with `before`, keeps placing the viewer's window too.
Times watch(Watcher &screen, Clock::time_point from, int quietMs, const std::set<Window> *before)
{
    std::vector<Frame> frames{screen.grab()};
    Clock::time_point lastChange = frames.back().at;
    bool placed = before == nullptr;
    bool changed = false;
    for (;;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
        if (before)
            placed = screen.placeWindow(*before) || placed;
        Frame f = screen.grab();
        if (f.pixels != frames.back().pixels) {
            lastChange = f.at;
            changed = true;
            frames.push_back(std::move(f));
        } else if (placed && changed && msBetween(lastChange, f.at) >= quietMs) {
            break;
        }
        if (msBetween(from, Clock::now()) > 60000)
            break;
    }
    Times t;
    if (!changed)
        return t;
    const Frame &last = frames.back();
    size_t first = frames.size() - 1;
    while (first > 1 && nearly(frames[first - 1], last))
        --first;
    t.drawn = msBetween(from, frames[first].at);
    t.final = msBetween(from, last.at);
    return t;
}

long peakKib(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::atol(line.c_str() + 6);
    }
    return -1;
}

} // namespace

int main(int argc, char **argv)
{
    int w = 1280, h = 960, keys = 10, quiet = 1500;
    const char *next = "Next";
    int i = 1;
    for (; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--" ) {
            ++i;
            break;
        }
        if (i + 1 >= argc)
            break;
        if (a == "--size")
            std::sscanf(argv[++i], "%dx%d", &w, &h);
        else if (a == "--next")
            next = argv[++i];
        else if (a == "--keys")
            keys = std::atoi(argv[++i]);
        else if (a == "--quiet")
            quiet = std::atoi(argv[++i]);
    }
    if (i >= argc) {
        std::fprintf(stderr, "usage: framzo_screenwatch --size WxH --next KEYSYM [--keys N] [--quiet MS] -- PROGRAM ARGS...\n");
        return 2;
    }
    Watcher screen(w, h);
    if (!screen.ok()) {
        std::fprintf(stderr, "framzo_screenwatch: no X display with shared memory\n");
        return 1;
    }
    const std::set<Window> before = screen.topLevels();

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP); // its own group, ended as a whole
    posix_spawnattr_setpgroup(&attributes, 0);
    pid_t pid = 0;
    const Clock::time_point start = Clock::now();
    if (posix_spawnp(&pid, argv[i], &actions, &attributes, argv + i, environ) != 0) {
        std::fprintf(stderr, "framzo_screenwatch: cannot start %s\n", argv[i]);
        return 1;
    }
    const Times opened = watch(screen, start, quiet, &before);
    const long peakOne = peakKib(pid);
    screen.press(next);
    const Times step = watch(screen, Clock::now(), quiet, nullptr);
    const Clock::time_point firstKey = Clock::now();
    for (int k = 0; k < keys; ++k)
        screen.press(next);
    const Times burst = watch(screen, firstKey, quiet, nullptr);
    const long peakAfter = peakKib(pid);
    std::printf("%.1f %.1f %.1f %.1f %.1f %.1f %ld %ld\n", opened.drawn, opened.final, step.drawn, step.final,
                burst.drawn, burst.final, peakOne, peakAfter);
    std::fflush(stdout);

    kill(-pid, SIGTERM);
    for (int waited = 0; waited < 200; ++waited) {
        if (waitpid(pid, nullptr, WNOHANG) == pid)
            return 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(-pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return 0;
}
