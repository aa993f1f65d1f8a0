// The destination's backup: its name, a faithful copy, never overwriting, clear failures.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "base/exception.h"
#include "engine/backup.h"

namespace qar {
namespace {

const QDateTime kWhen(QDate(2026, 12, 8), QTime(15, 30, 12));

QByteArray readAll(const QString& path) {
  QFile file(path);
  EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
  return file.readAll();
}

void writeFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(bytes);
}

TEST(Backup, NameCarriesDateAndTimeBesideTheFile) {
  EXPECT_EQ(backupFileName("/data/Card.mdb", kWhen), "/data/Card-backup-20261208-153012.mdb");
  EXPECT_EQ(backupFileName("/data/my.card.MDB", kWhen), "/data/my.card-backup-20261208-153012.MDB");
  EXPECT_EQ(backupFileName("/data/Card", kWhen), "/data/Card-backup-20261208-153012.mdb");
}

TEST(Backup, CopiesEveryByteAndNeverOverwrites) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString path = dir.filePath("Card.mdb");
  QByteArray bytes;
  for (int i = 0; i < 300000; ++i) bytes.append(char(i * 7));
  writeFile(path, bytes);

  const QString first = makeDestinationBackup(path, kWhen);
  EXPECT_EQ(first, dir.filePath("Card-backup-20261208-153012.mdb"));
  EXPECT_EQ(readAll(first), bytes);

  writeFile(path, "changed");
  const QString second = makeDestinationBackup(path, kWhen);
  EXPECT_EQ(second, dir.filePath("Card-backup-20261208-153012-2.mdb"));
  EXPECT_EQ(readAll(second), QByteArray("changed"));
  EXPECT_EQ(readAll(first), bytes);
}

TEST(Backup, MissingFileIsAClearError) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  try {
    makeDestinationBackup(dir.filePath("absent.mdb"), kWhen);
    FAIL() << "backup of a missing file succeeded";
  } catch (const Exception& e) {
    EXPECT_NE(std::string(e.what()).find("absent.mdb"), std::string::npos) << e.what();
  }
  EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}

TEST(Backup, UnwritableFolderIsAClearErrorAndLeavesNothing) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());

  const QString sub = dir.filePath("locked");
  ASSERT_TRUE(QDir().mkdir(sub));
  writeFile(sub + "/Card.mdb", "bytes");
  QFile::setPermissions(sub, QFile::ReadOwner | QFile::ExeOwner);
  if (QFile probe(sub + "/probe"); probe.open(QIODevice::WriteOnly)) {
    probe.remove();
    QFile::setPermissions(sub, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    GTEST_SKIP() << "running with rights that ignore folder permissions";
  }
  EXPECT_THROW(makeDestinationBackup(sub + "/Card.mdb", kWhen), Exception);
  QFile::setPermissions(sub, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  EXPECT_EQ(QDir(sub).entryList(QDir::Files), QStringList({"Card.mdb"}));
}

}  // namespace
}  // namespace qar
