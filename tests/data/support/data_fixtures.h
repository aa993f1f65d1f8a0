// Helpers of the dataset layer's tests: shared fixture files (copied before any write),
// databases made with the engine, and a pinned locale.
#pragma once

#include <QLocale>
#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "jet/database.h"

namespace qar::data::testing {

// <fixtures>/<relative>, or empty when the fixtures folder or the file is absent.
QString fixture(const QString& relative);
// A writable copy of a fixture in dir; empty when the fixture is absent.
QString copyFixture(const QString& relative, const QTemporaryDir& dir);
// SHA-256 of a file's bytes.
QByteArray fileHash(const QString& path);

// Whether the engine can create databases and write rows; the reason when it cannot.
std::optional<std::string> writerMissing();
// The same for rows of tables with indexes (a primary key).
std::optional<std::string> indexWriterMissing();

// Creates dir/<name> with one table and its rows (values in column order).
QString createDatabase(const QTemporaryDir& dir, const QString& name, const jet::TableSpec& table,
                       const std::vector<jet::Row>& rows);

// The message of the qar::Exception f raises, or "(no error)".
std::string messageOf(const std::function<void()>& f);

// Pins QLocale's default for the test's lifetime.
class LocaleGuard {
 public:
  explicit LocaleGuard(const char* name) : saved_(QLocale()) { QLocale::setDefault(QLocale(QString::fromLatin1(name))); }
  ~LocaleGuard() { QLocale::setDefault(saved_); }

 private:
  QLocale saved_;
};

}  // namespace qar::data::testing

#define QAR_FIXTURE_OR_SKIP(var, relative)                                              \
  const QString var = ::qar::data::testing::fixture(relative);                          \
  if (var.isEmpty()) GTEST_SKIP() << "fixture " << (relative) << " is absent (shared fixtures folder " \
                                  << QAR_FIXTURES_DIR << ")"

#define QAR_INDEX_WRITER_OR_SKIP()                                                       \
  if (auto why = ::qar::data::testing::indexWriterMissing()) GTEST_SKIP() << "engine cannot write indexed rows yet: " << *why

#define QAR_WRITER_OR_SKIP()                                                             \
  if (auto why = ::qar::data::testing::writerMissing()) GTEST_SKIP() << "engine cannot write yet: " << *why
