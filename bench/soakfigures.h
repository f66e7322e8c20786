#pragma once
// What a long run of the program must keep flat, measured from inside the process: resident memory,
// open file descriptors, live timers, live QObjects and echoes in flight; and the table of those
// figures at every tenth of a run, with the verdict on its growth from the first mark to the last.
#include "bench/resident.h"
#include "platform/echoengine.h"

#include <QAbstractEventDispatcher>
#include <QDir>
#include <QFile>
#include <QList>
#include <QThread>
#include <cstdio>
#include <malloc.h>
#include <mutex>
#include <unistd.h>
#include <unordered_set>

// Qt's hook table (QtCore/private/qhooks_p.h; the one debuggers and GammaRay use). Its entries 3 and 4
// are called from every QObject's constructor and destructor.
extern Q_CORE_EXPORT quintptr qtHookData[];

namespace qos::bench {

// The QObjects alive in this process. Install before the application object is created. The hook
// entries are plain function pointers, so the set they fill is a function-local static.
class LiveObjects {
public:
    static bool install()
    {
        constexpr int kAddQObject = 3, kRemoveQObject = 4;
        if (qtHookData[0] < 1 || qtHookData[1] <= quintptr(kRemoveQObject))
            return false;
        qtHookData[kAddQObject] = reinterpret_cast<quintptr>(&added);
        qtHookData[kRemoveQObject] = reinterpret_cast<quintptr>(&removed);
        return true;
    }
    static int count()
    {
        const std::lock_guard lock(state().mutex);
        return int(state().objects.size());
    }
    // Timers registered with this thread's event dispatcher, over all objects of this thread.
    static int timers()
    {
        QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance();
        const std::lock_guard lock(state().mutex);
        int timers = 0;
        for (QObject *object : state().objects) {
            if (object->thread() == QThread::currentThread())
                timers += int(dispatcher->registeredTimers(object).size());
        }
        return timers;
    }

private:
    struct State {
        std::mutex mutex;
        std::unordered_set<QObject *> objects;
    };
    static State &state()
    {
        static State s;
        return s;
    }
    static void added(QObject *object)
    {
        const std::lock_guard lock(state().mutex);
        state().objects.insert(object);
    }
    static void removed(QObject *object)
    {
        const std::lock_guard lock(state().mutex);
        state().objects.erase(object);
    }
};

struct Figures {
    double residentMb = 0;
    double heapMb = 0; // allocated through malloc and not freed (0 where the allocator does not say)
    int descriptors = 0;
    int timers = 0;
    int objects = 0;
    int inFlight = 0;
};

inline double HeapMb()
{
    const struct mallinfo2 info = ::mallinfo2();
    return double(info.uordblks + info.hblkhd) / (1024.0 * 1024.0);
}

inline int OpenDescriptors()
{
    // Less the one the listing itself holds open.
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::NoDotAndDotDot | QDir::System).size()) -
           1;
}

inline Figures Measure(const EchoEngine &engine)
{
    return {ResidentMb(),         HeapMb(),         OpenDescriptors(), LiveObjects::timers(),
            LiveObjects::count(), engine.inFlight()};
}

// The figures at the marks of one run, printed as they come.
class Marks {
public:
    // progress: what the run has done by a mark ("1440 cycles, 3.0 days"), shown beside the figures.
    void header() const
    {
        std::printf("%5s  %-28s %8s %8s %5s %7s %8s %10s %8s\n", "mark", "progress", "RSS MB", "heap MB",
                    "fds", "timers", "objects", "in-flight", "wall s");
        std::fflush(stdout);
    }
    void add(int percent, const QString &progress, const Figures &f, double wallSeconds)
    {
        m_figures << f;
        std::printf("%4d%%  %-28s %8.1f %8.2f %5d %7d %8d %10d %8.0f\n", percent, qPrintable(progress),
                    f.residentMb, f.heapMb, f.descriptors, f.timers, f.objects, f.inFlight, wallSeconds);
        std::fflush(stdout);
    }
    // Prints the growth from the first mark to the last; true when resident memory grew by less than
    // rssLimitPercent and no count grew at all.
    bool flat(double rssLimitPercent) const
    {
        if (m_figures.size() < 2)
            return true;
        const Figures &a = m_figures.first(), &b = m_figures.last();
        const double rss = a.residentMb > 0 ? 100.0 * (b.residentMb - a.residentMb) / a.residentMb : 0;
        const double heap = a.heapMb > 0 ? 100.0 * (b.heapMb - a.heapMb) / a.heapMb : 0;
        const bool flat = rss < rssLimitPercent && b.descriptors <= a.descriptors && b.timers <= a.timers &&
                          b.objects <= a.objects && b.inFlight <= a.inFlight;
        std::printf(
            "growth from the first mark to the last: RSS %+.2f%% (limit %.1f%%), heap %+.2f%%, fds %+d, "
            "timers %+d, objects %+d, in-flight %+d: %s\n",
            rss, rssLimitPercent, heap, b.descriptors - a.descriptors, b.timers - a.timers,
            b.objects - a.objects, b.inFlight - a.inFlight, flat ? "flat" : "NOT FLAT");
        return flat;
    }

private:
    QList<Figures> m_figures;
};

} // namespace qos::bench
