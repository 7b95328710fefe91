#pragma once

// Fixture trees written at run time inside a test's temporary folder.
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace zentaro::testing {

// Writes text to path, replacing what is there and making its folders first.
bool WriteText(const QString& path, const QByteArray& text);

// Builds a tree from "path=contents" entries under root, in order: a path
// ending in "/" is a folder, the contents "<fifo>" a FIFO (listed in fifos
// when given), and "\n" in the contents stands for a line end.
bool BuildTree(const QString& root, const QStringList& entries, QStringList* fifos = nullptr);

} // namespace zentaro::testing
