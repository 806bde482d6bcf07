// Part of the alarm_audio module. Qt 6.4's PulseAudio engines (it makes two: one lists the
// devices, one plays) end their connections to the sound server, at the end of the process and
// when the server goes away, without holding their main loop's lock while the loop's own thread
// may be running. The two threads then corrupt the loop's bookkeeping and libpulse aborts the
// process ("Assertion 'm->io_events_please_scan == 0' failed"): about one exit in a hundred
// after a sound. Later Qt versions take the lock there.
//
// The module defines the libpulse functions involved. Qt Multimedia is loaded as this module's
// dependency, outside the program's global symbol scope, so its calls bind to these first. They
// note which threaded main loop each context runs on and call libpulse's own functions with
// that loop locked, as libpulse requires of every thread but the loop's.
#include <QtGlobal>

#include <dlfcn.h>

#include <array>
#include <mutex>

struct pa_context;
struct pa_mainloop_api;
struct pa_threaded_mainloop;

namespace {

template <typename Function> Function nextDefinition(const char *name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

using LoopFunction = void (*)(pa_threaded_mainloop *);

// Fixed tables with trivial destructors: Qt's engines end theirs at the end of the process,
// possibly after this module's own static objects would have been destroyed.
struct Loop
{
    pa_threaded_mainloop *loop = nullptr;
    pa_mainloop_api *api = nullptr;
};
struct Context
{
    pa_context *context = nullptr;
    pa_threaded_mainloop *loop = nullptr;
};
constinit std::mutex gTablesMutex;
constinit std::array<Loop, 8> gLoops{};
constinit std::array<Context, 32> gContexts{};

pa_threaded_mainloop *loopOf(pa_context *context)
{
    std::lock_guard lock(gTablesMutex);
    for (const Context &entry : gContexts)
        if (entry.context == context)
            return entry.loop;
    return nullptr;
}

class LoopLock
{
public:
    explicit LoopLock(pa_context *context)
    {
        static const auto inThread =
            nextDefinition<int (*)(pa_threaded_mainloop *)>("pa_threaded_mainloop_in_thread");
        static const auto lock = nextDefinition<LoopFunction>("pa_threaded_mainloop_lock");
        pa_threaded_mainloop *loop = loopOf(context);
        // The loop's own thread runs its callbacks with the lock held already.
        if (loop && inThread && lock && !inThread(loop)) {
            lock(loop);
            m_loop = loop;
        }
    }
    ~LoopLock()
    {
        static const auto unlock = nextDefinition<LoopFunction>("pa_threaded_mainloop_unlock");
        if (m_loop && unlock)
            unlock(m_loop);
    }
    LoopLock(const LoopLock &) = delete;
    LoopLock &operator=(const LoopLock &) = delete;

private:
    pa_threaded_mainloop *m_loop = nullptr;
};

} // namespace

extern "C" Q_DECL_EXPORT pa_threaded_mainloop *pa_threaded_mainloop_new()
{
    static const auto real =
        nextDefinition<pa_threaded_mainloop *(*)()>("pa_threaded_mainloop_new");
    static const auto getApi = nextDefinition<pa_mainloop_api *(*)(pa_threaded_mainloop *)>(
        "pa_threaded_mainloop_get_api");
    pa_threaded_mainloop *loop = real ? real() : nullptr;
    if (loop && getApi) {
        std::lock_guard lock(gTablesMutex);
        for (Loop &entry : gLoops) {
            if (!entry.loop) {
                entry = {loop, getApi(loop)};
                break;
            }
        }
    }
    return loop;
}

extern "C" Q_DECL_EXPORT void pa_threaded_mainloop_free(pa_threaded_mainloop *loop)
{
    static const auto real = nextDefinition<LoopFunction>("pa_threaded_mainloop_free");
    {
        std::lock_guard lock(gTablesMutex);
        for (Loop &entry : gLoops)
            if (entry.loop == loop)
                entry = {};
        for (Context &entry : gContexts)
            if (entry.loop == loop)
                entry = {};
    }
    if (real)
        real(loop);
}

extern "C" Q_DECL_EXPORT pa_context *pa_context_new(pa_mainloop_api *api, const char *name)
{
    static const auto real =
        nextDefinition<pa_context *(*)(pa_mainloop_api *, const char *)>("pa_context_new");
    pa_context *context = real ? real(api, name) : nullptr;
    if (context) {
        std::lock_guard lock(gTablesMutex);
        pa_threaded_mainloop *loop = nullptr;
        for (const Loop &entry : gLoops)
            if (entry.loop && entry.api == api)
                loop = entry.loop;
        // A new context may have the address of one that has been freed.
        for (Context &entry : gContexts)
            if (entry.context == context)
                entry = {};
        for (Context &entry : gContexts) {
            if (loop && !entry.context) {
                entry = {context, loop};
                break;
            }
        }
    }
    return context;
}

extern "C" Q_DECL_EXPORT void pa_context_disconnect(pa_context *context)
{
    static const auto real = nextDefinition<void (*)(pa_context *)>("pa_context_disconnect");
    LoopLock lock(context);
    if (real)
        real(context);
}

extern "C" Q_DECL_EXPORT void pa_context_unref(pa_context *context)
{
    static const auto real = nextDefinition<void (*)(pa_context *)>("pa_context_unref");
    LoopLock lock(context);
    if (real)
        real(context);
}
