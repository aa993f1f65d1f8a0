// Figures of the dataset layer on a large table: open "Select * From" (rows per second and
// the open result's memory against the table's data size), key searches on a text key and
// on a Long key, and edit+post cycles. Usage: bench_data_query [rows] [work folder]
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLocale>
#include <QTemporaryDir>

#include <cstdio>
#include <ctime>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>

#include "base/exception.h"
#include "data/connection.h"
#include "data/query.h"
#include "jet/database.h"

using namespace qar::data;

namespace {

long residentKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  return 0;
}

// CPU seconds of this process: the machine may be shared, so figures print both clocks.
double cpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

std::string code(int i) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "K%07d", i);
  return buf;
}

std::string name(int i) { return "Holder number " + std::to_string(i) + " of the benchmark"; }

// Builds the table with the engine; returns the bytes its values take as Jet 4 stores them
// (text as UTF-16), or -1 with the reason printed when the engine cannot write.
double buildTable(const std::string& path, int rows) {
  try {
    auto db = jet::Database::create(path);
    jet::TableSpec blueprint{"Big",
                        {{"ID", jet::ColumnKind::Long},
                         {"Code", jet::ColumnKind::Text, 20},
                         {"Name", jet::ColumnKind::Text, 60},
                         {"Amount", jet::ColumnKind::Currency},
                         {"At", jet::ColumnKind::DateTime},
                         {"Ratio", jet::ColumnKind::Double}},
                        {}};
    jet::Table t = db->createTable(blueprint);
    double bytes = 0;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < rows; ++i) {
      jet::Row row{int32_t{i}, code(i), name(i), jet::Currency{int64_t{i} * 125},
                   jet::DateTime{40000.0 + i / 1440.0}, i * 0.5};
      bytes += 4 + 2.0 * code(i).size() + 2.0 * name(i).size() + 8 + 8 + 8;
      t.insert(row);
    }
    db->close();
    std::printf("built %d rows with the engine in %.2f s\n", rows, timer.elapsed() / 1000.0);
    return bytes;
  } catch (const jet::Error& e) {
    std::printf("cannot build the table: the engine cannot write yet (%s)\n", e.what());
    return -1;
  }
}

void select(TADOQuery& q, const QString& table) {
  q.Close();
  q.SQL().Clear();
  q.SQL().Add(QStringLiteral("Select * From ") + table);
  q.Open();
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QLocale::setDefault(QLocale(QStringLiteral("en_US")));
  int rows = argc > 1 ? std::atoi(argv[1]) : 1000000;
  QTemporaryDir tmp(argc > 2 ? QString::fromLocal8Bit(argv[2]) + QStringLiteral("/qarbench-XXXXXX") : QString());
  if (rows <= 0 || !tmp.isValid()) {
    std::fprintf(stderr, "usage: bench_data_query [rows > 0] [work folder]\n");
    return 2;
  }
  std::string path = tmp.filePath(QStringLiteral("bench.mdb")).toStdString();
  double dataBytes = buildTable(path, rows);
  if (dataBytes < 0) return 1;

  try {
    TADOConnection conn;
    conn.setProvider(TADOConnection::kJetProvider);
    conn.setConnectionString(QString::fromStdString(path));
    conn.setConnected(true);
    TADOQuery q(QStringLiteral("adqBench"));
    q.setConnection(&conn);

    long rssBefore = residentKiB();
    QElapsedTimer timer;
    timer.start();
    double cpu = cpuSeconds();
    select(q, QStringLiteral("Big"));
    double openSeconds = timer.nsecsElapsed() / 1e9;
    double openCpu = cpuSeconds() - cpu;
    long rssAfter = residentKiB();
    std::printf("open Select * From Big: %d rows in %.3f s = %.0f rows/s (CPU %.3f s = %.0f rows/s)\n",
                q.RecordCount(), openSeconds, q.RecordCount() / openSeconds, openCpu, q.RecordCount() / openCpu);
    std::printf("open result memory: %.1f MiB held (%.2fx the table's data size of %.1f MiB); "
                "resident set grew %.1f MiB\n",
                q.ResultMemoryBytes() / 1048576.0, q.ResultMemoryBytes() / dataBytes, dataBytes / 1048576.0,
                (rssAfter - rssBefore) / 1024.0);

    std::mt19937 rng(42);
    std::uniform_int_distribution<int> pick(0, rows - 1);
    const int searches = 1000000;
    std::vector<QString> codes, ids;
    codes.reserve(searches);
    ids.reserve(searches);
    for (int i = 0; i < searches; ++i) {
      int k = pick(rng);
      QString c = QString::fromStdString(code(k));
      codes.push_back(i % 2 ? c.toLower() : c);
      ids.push_back(QString::number(k));
    }
    for (auto [field, keys] : {std::pair{"Code", &codes}, std::pair{"ID", &ids}}) {
      timer.restart();
      q.Locate(QString::fromLatin1(field), Variant((*keys)[0]), loCaseInsensitive);  // builds the index
      double buildSeconds = timer.nsecsElapsed() / 1e9;
      int found = 0;
      QString fieldName = QString::fromLatin1(field);
      timer.restart();
      cpu = cpuSeconds();
      for (const QString& key : *keys) found += q.Locate(fieldName, Variant(key), loCaseInsensitive);
      double s = timer.nsecsElapsed() / 1e9;
      double c = cpuSeconds() - cpu;
      std::printf("%d key searches on %s (%s key): %.3f s = %.0f searches/s (CPU %.3f s = %.0f/s), %d found; "
                  "index built in %.3f s\n",
                  searches, field, field == std::string("Code") ? "text" : "Long", s, searches / s, c,
                  searches / c, found, buildSeconds);
    }

    const int cycles = std::min(100000, rows);
    q.First();
    timer.restart();
    cpu = cpuSeconds();
    int done = 0;
    try {
      for (; done < cycles; ++done) {
        q.Edit();
        q.Fields(2).setValue(Variant(QStringLiteral("Edited holder %1").arg(done)));
        q.Fields(3).setValue(Variant(Currency{done}));
        q.Post();
        q.Next();
      }
    } catch (const qar::Exception& e) {
      std::printf("edit+post stopped after %d cycles: %s\n", done, e.what());
      q.Cancel();
    }
    double editSeconds = timer.nsecsElapsed() / 1e9;
    double editCpu = cpuSeconds() - cpu;
    timer.restart();
    q.Close();
    std::printf("%d edit+post cycles: %.3f s = %.0f cycles/s (CPU %.3f s = %.0f/s; flush at close %.3f s)\n", done,
                editSeconds, done / editSeconds, editCpu, done / editCpu, timer.nsecsElapsed() / 1e9);
  } catch (const qar::Exception& e) {
    std::printf("failed: %s\n", e.what());
    return 1;
  }
  return 0;
}
