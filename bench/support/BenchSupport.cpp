#include "BenchSupport.h"

#include "SchemaSql.h"
#include "platform/db/Database.h"

#include <QDir>
#include <QFile>

#include <cstdio>
#include <sys/resource.h>

namespace bench {

namespace {

QByteArray pad(const QByteArray& s, int width)
{
    return s.leftJustified(width, ' ', true);
}
QByteArray num(long v, int width)
{
    return QByteArray::number(static_cast<qlonglong>(v)).rightJustified(width, '0');
}

} // namespace

QByteArray generateProductionJob(int bars, int piecesPerBar)
{
    QByteArray out;
    out.reserve(static_cast<qsizetype>(bars) * piecesPerBar * 160);
    int piece = 0;
    for (int b = 1; b <= bars; ++b) {
        const int profile = 10 + b % 5;
        const QByteArray barNr = num(((b - 1) % 999) + 1, 3);
        out += "KB " + barNr + "L65000T" + num(profile, 2) + "TF" + pad("Weiss RAL 9016", 20) + "B" +
               pad("Rahmen " + QByteArray::number(b), 20) + "E1\r\n";
        for (int p = 0; p < piecesPerBar; ++p) {
            ++piece;
            const QByteArray nr = num(piece % 10000 == 0 ? 1 : piece % 10000, 4);
            out += "KTN" + nr + "FW" + barNr + num(p + 1, 3) + "K" + pad("J" + QByteArray::number(b), 7) +
                   "PPos01TBRGG+4500-4500L" + num(5000 + (piece % 700) * 10, 5) + "SA11" + nr +
                   "0480000250101SBST 4711 D1W05" + num(150, 5) + "WB 3," + QByteArray::number(1200 + p) +
                   ",55,12;\r\n";
        }
    }
    return out;
}

QByteArray generateLabelJob(int bars, int piecesPerBar)
{
    QByteArray out = "ED 0000 PRNTyp=4 ETKTyp=0\r\n";
    const int pieces = bars * piecesPerBar;
    for (int piece = 1; piece <= pieces; ++piece) {
        const QByteArray nr = num(piece % 10000 == 0 ? 1 : piece % 10000, 4);
        out += "ED " + nr + " ^XA^FO40,40^A0N,30,30^FDPiece " + QByteArray::number(piece) + "^FS\r\n";
        out += "ED " + nr + " ^FO40,80^BCN,60^FD" + nr + "^FS^XZ\r\n";
    }
    return out;
}

BenchPlant::BenchPlant()
{
    QDir(m_dir.path()).mkpath(QStringLiteral("In"));
    QDir(m_dir.path()).mkpath(QStringLiteral("Client"));
    QDir(m_dir.path()).mkpath(QStringLiteral("Server"));
    ctx.programDir = m_dir.path() + QStringLiteral("/Server");
    ctx.settings.serverDir = serverDir();
    ctx.settings.clientDir = clientDir();
    ctx.settings.clientParentDir = m_dir.path() + QStringLiteral("/");
    ctx.settings.JobLoadMode = LoadMode::Job; // the files stay where they are; the benchmark moves nothing
    QString message;
    if (!db::createDatabase(databasePath(), schema::jobDatabaseSql(), &message))
        std::fprintf(stderr, "cannot create the job database: %s\n", message.toLocal8Bit().constData());
}

QString BenchPlant::writeFile(const QString& name, const QByteArray& content)
{
    const QString path = serverDir() + QLatin1Char('/') + name;
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(content);
    return path;
}

double peakRssMiB()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_maxrss) / 1024.0;
}

} // namespace bench
