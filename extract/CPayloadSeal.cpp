#include "CPayloadSeal.h"

#include "HeldFiles.h"
#include "Product.h"
#include "TestSeams.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFileInfo>
#include <QMutexLocker>

#include <algorithm>
#include <vector>

namespace {

// The block scripts/seal writes the table into, found by the marker on its
// first line (which occurs nowhere else in the image). Its size and marker
// are those of scripts/seal. Read only through a volatile access: the
// compiler must not take the unsealed text below for the block's content.
const int sealCapacity = 4096;
const volatile char sealBlock[sealCapacity] = "MIREVALE-PAYLOAD-SEAL-71f3db9f9966cf07\n"
                                              "unsealed\n";

// The digests are computed in blocks of this size.
const qint64 hashBlock = qint64(1) << 20;

} // namespace

CPayloadSeal::CPayloadSeal(const QString &folder, QObject *parent)
    : QThread(parent)
    , m_held(new Platform::HeldFiles(folder))
    , m_folder(m_held->isValid() ? m_held->folder() : folder)
    , m_names(payloadNames())
{
    m_programCount = int(m_names.size()) - 2;
    m_sealed = parse(table(), &m_entries);
    m_failed.fill(false, m_names.size());
    for (const QString &name : qAsConst(m_names))
        m_held->hold(name);
    if (m_sealed)
        start();
}

CPayloadSeal::~CPayloadSeal()
{
    m_abort = true;
    wait();
}

QString CPayloadSeal::folder() const
{
    return m_folder;
}

bool CPayloadSeal::programsMatch()
{
    if (!m_sealed)
        return false;
    bool all = true;
    for (int i = 0; i < m_programCount; ++i) {
        if (!Matches(i)) {
            Mismatch(i);
            all = false;
        }
    }
    return all;
}

bool CPayloadSeal::archivesMatch()
{
    wait();
    QMutexLocker locker(&m_mutex);
    return m_sealed && m_archivesMatch;
}

QStringList CPayloadSeal::mismatched() const
{
    if (!m_sealed)
        return {QFileInfo(QCoreApplication::applicationFilePath()).fileName()};
    QMutexLocker locker(&m_mutex);
    QStringList names;
    for (int i = 0; i < m_names.size(); ++i) {
        if (m_failed.at(i))
            names << m_names.at(i);
    }
    return names;
}

QStringList CPayloadSeal::payloadNames()
{
    return {QStringLiteral(MIREVALE_EXTRACTOR),
#ifdef Q_OS_WIN
            QStringLiteral(MIREVALE_SEVENZIP),
#endif
            QStringLiteral(MIREVALE_PROGRAM_ARCHIVE), QStringLiteral(MIREVALE_DATA_ARCHIVE)};
}

QByteArray CPayloadSeal::table()
{
#ifdef MIREVALE_TEST_SEAMS
    if (!TestSeams::current().sealTable.isEmpty())
        return TestSeams::current().sealTable;
#endif
    QByteArray block;
    for (int i = 0; i < sealCapacity && sealBlock[i] != '\0'; ++i)
        block.append(sealBlock[i]);
    // The marker line is not part of the table.
    return block.mid(block.indexOf('\n') + 1);
}

bool CPayloadSeal::parse(const QByteArray &table, QHash<QString, Entry> *entries)
{
    entries->clear();
    if (!table.startsWith("sealed\n") || !table.endsWith("\nend\n"))
        return false;
    QByteArray body = table.mid(7, table.size() - 7 - 4);
    if (body.isEmpty())
        return true; // sealed with no file: nothing matches
    body.chop(1);
    const QList<QByteArray> lines = body.split('\n');
    for (const QByteArray &line : lines) {
        const QList<QByteArray> fields = line.split(' ');
        bool sized = false;
        Entry entry;
        entry.size = fields.value(0).toLongLong(&sized);
        entry.sha256 = fields.value(1);
        const QString name = QString::fromUtf8(line.mid(fields.value(0).size() + 1 + 64 + 1));
        const bool hex = entry.sha256.size() == 64
                && std::all_of(entry.sha256.cbegin(), entry.sha256.cend(), [](char c) {
                             return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
                         });
        if (fields.size() < 3 || !sized || entry.size < 0 || !hex || name.isEmpty()
            || entries->contains(name)) {
            entries->clear();
            return false;
        }
        entries->insert(name, entry);
    }
    return true;
}

// The archives' digests, beside the caller's work.
void CPayloadSeal::run()
{
    bool all = true;
    for (int i = m_programCount; i < m_names.size() && !m_abort; ++i) {
        if (!Matches(i)) {
            Mismatch(i);
            all = false;
        }
    }
    QMutexLocker locker(&m_mutex);
    m_archivesMatch = all && !m_abort;
}

// True when payload file `index` is held, sealed, and of the sealed size and
// digest, read through its held handle.
bool CPayloadSeal::Matches(int index)
{
    const auto sealed = m_entries.constFind(m_names.at(index));
    const qint64 size = m_held->size(index);
    if (sealed == m_entries.constEnd() || size < 0 || size != sealed->size)
        return false;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    std::vector<char> buffer(size_t(qMin(size, hashBlock)) + 1);
    qint64 offset = 0;
    for (;;) {
        if (m_abort)
            return false;
        const qint64 got = m_held->read(index, offset, buffer.data(), qint64(buffer.size()));
        if (got < 0)
            return false;
        if (got == 0)
            break;
        hash.addData(buffer.data(), int(got));
        offset += got;
    }
    return offset == size && hash.result().toHex() == sealed->sha256;
}

void CPayloadSeal::Mismatch(int index)
{
    QMutexLocker locker(&m_mutex);
    m_failed[index] = true;
}
