// The Qt Widgets set plus the test framework; reused by every test executable.
// Qt Test's own headers (QTest, QSignalSpy) stay out: they read
// QT_TESTCASE_BUILDDIR, which differs per test folder, so a header holding
// them would match no test.
#pragma once

#include "QtWidgetsPch.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
