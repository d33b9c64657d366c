#pragma once

#include <QByteArray>
#include <QFile>

#include <chrono>
#include <cstdio>

// Clocks and counters shared by the benchmark programs.
namespace BenchClock {

// CLOCK_MONOTONIC in nanoseconds: the same clock as Python's
// time.monotonic_ns(), so a driver can hand its launch time over.
inline qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
}

// The driver's time stamp taken just before it started this process
// ($MIREVALE_BENCH_T0_NS), or 0 when there is none.
inline qint64 launchNs()
{
    return qEnvironmentVariable("MIREVALE_BENCH_T0_NS").toLongLong();
}

// Peak resident memory of this process (VmHWM), in KiB.
inline qint64 peakRssKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// One result line for the driver: "key=value key=value ...".
inline void report(const QByteArray &line)
{
    std::fprintf(stdout, "%s\n", line.constData());
    std::fflush(stdout);
}

} // namespace BenchClock
