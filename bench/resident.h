#pragma once
// The resident size of a process, as the kernel counts it.
#include <QFile>
#include <QList>
#include <QString>
#include <unistd.h>

namespace qos::bench {

// In MB; of this process, or of process pid; -1 when it cannot be read.
inline double ResidentMb(qint64 pid = 0)
{
    QFile statm(pid ? QStringLiteral("/proc/%1/statm").arg(pid) : QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * double(::sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0)
                             : -1;
}

} // namespace qos::bench
