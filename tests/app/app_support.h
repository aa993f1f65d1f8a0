// Shared pieces of the main-window tests: the application object (created once, with the
// program's own exception guard), a temporary folder holding copies of the shared fixture
// pairs, and small helpers to drive the window.
#pragma once

#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace qar::test {

// Creates the application object on first use (offscreen platform under CTest).
void ensureApplication();

// The shared fixture folder of a QAR26M pair ("basic", "autonum-replace"), or "" if absent.
QString fixturePairDir(const QString& pair);

// Copies source.mdb and destination.mdb of a fixture pair into dir; false if absent.
bool copyFixturePair(const QString& pair, const QTemporaryDir& dir, QString& source,
                     QString& destination);

// Base fixture: the application exists before any member (timers, windows) is built.
class AppTest : public ::testing::Test {
 protected:
  AppTest() { ensureApplication(); }
};

}  // namespace qar::test
